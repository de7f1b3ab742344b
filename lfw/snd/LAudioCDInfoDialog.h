// The audio-CD information as the user asks for it: the job runs under its progress window
// "Läsa CD-information"; when it gives no text the user is told why and may try again.
#pragma once

#include "lfw/gen/LString.h"

class LView;

// Runs the audio-CD job for the kind of text (VTProcessAudioCDInfo::Type) over the window of
// parent. True with the text when a disc was read and looked up. Otherwise, with "Försök igen"
// and "Avbryt": "Ingen ljud-CD har upptäckts" when no disc could be read, or why the lookup of
// the disc that was read failed; "Försök igen" runs the job again. A job that was stopped or
// reported its own error (a disc the database does not know) ends with false at once.
bool LAudioCDInfoGet(LView* parent, int type, LStringLongTemplate<char>& text);
