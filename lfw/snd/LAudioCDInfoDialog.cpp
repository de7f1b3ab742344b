#include "lfw/snd/LAudioCDInfoDialog.h"

#include "lfw/mac/LAlert.h"
#include "lfw/mac/LProgressDialog.h"
#include "lfw/snd/LMusicBrainz.h"

bool LAudioCDInfoGet(LView* parent, int type, LStringLongTemplate<char>& text)
{
    for (;;) {
        VTProcessAudioCDInfo record;
        record.type = type;
        LProcessDialog<VTProcessAudioCDInfo> dialog("Läsa CD-information", record);
        dialog.Open(parent);
        if (dialog.result != LProcessResultSuccess)
            return false;
        if (record.found) {
            text = record.text.GetString();
            return true;
        }
        LStringLongTemplate<char> message;
        const char* title = "Ingen ljud-CD har upptäckts";
        if (record.lookupFailure.kind != LMusicBrainzFailure::None) {
            LMusicBrainzFailureMessage(record.lookupFailure, message);
            title = "Uppgifterna om ljud-CD:n kunde inte hämtas";
        } else {
            message.Append("Sätt i en ljud-CD och försök igen.");
        }
        LAlert alert(parent, message.c_str(), title);
        LAlertCopyField(alert.button1, "Försök igen");
        LAlertCopyField(alert.button2, "Avbryt");
        if (alert.RunField() != 1)
            return false;
    }
}
