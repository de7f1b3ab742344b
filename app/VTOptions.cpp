#include "app/VTOptions.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/graphics/LMatrix.h"
#include "lfw/mac/LPaintSurface.h"

#include <algorithm>
#include <cmath>

namespace {

// The stored value, or the default when the key is missing or its value is empty.
void GetSetting(const char* key, const char* def, char* out)
{
    _LUserSettingGetString(kVTOptionsSection, key, def, out);
    if (!out[0])
        utf8strlcpy(out, def ? def : "", kLStringShortSize);
}

bool IsTablePaperSize(LPaperSizeID id)
{
    return id >= LPaperSizeA0 && id <= LPaperSizeManual;
}

void GetFolder(const char* key, bool (*defaultFolder)(char*), std::string& folder)
{
    char def[kLPathSize] = "";
    defaultFolder(def);
    LStringLongTemplate<char> value;
    _LUserSettingGetString(kVTOptionsSection, key, def, value);
    folder = value.c_str();
    if (folder.empty())
        folder = def;
}

} // namespace

LPaperSizeID VTOptions::PaperSizeIDGet()
{
    const LPaperSizeID def = LSettingGetMeasurementUnit() == 1 ? LPaperSizeUSLetter : LPaperSizeA4;
    char value[kLStringShortSize];
    GetSetting(kVTOptionsPaperSize, LPaperSizeGetKeyFromID(def), value);
    const LPaperSizeID id = LPaperSizeGetIDFromKey(value);
    return IsTablePaperSize(id) ? id : def;
}

bool VTOptions::PaperSizeIDSet(LPaperSizeID id)
{
    if (!IsTablePaperSize(id))
        return false;
    LUserSettingSetString(kVTOptionsSection, kVTOptionsPaperSize, LPaperSizeGetKeyFromID(id));
    return true;
}

VTPrinterTrayID VTOptions::PrinterTrayIDGet()
{
    char value[kLStringShortSize];
    GetSetting(kVTOptionsPrinterTray, kVTPrinterTrayDefaultKey, value);
    return VTPrinterTrayGetIDFromKey(value);
}

bool VTOptions::PrinterTrayIDSet(VTPrinterTrayID id)
{
    const char* key = VTPrinterTrayGetKey(id);
    if (!key)
        return false;
    LUserSettingSetString(kVTOptionsSection, kVTOptionsPrinterTray, key);
    return true;
}

void VTOptions::RecentFolderProjectGet(std::string& folder)
{
    GetFolder(kVTOptionsRecentFolderProject, &LFile::GetUserDocumentsFolder, folder);
}

void VTOptions::RecentFolderImageGet(std::string& folder)
{
    GetFolder(kVTOptionsRecentFolderImage, &LFile::GetUserPicturesFolder, folder);
}

float VTScreenGetSize(LPaintContext& context, float size)
{
    LMatrix<float> m;
    LPaintSurface::TransformGet(context, m);
    return VTScreenGetSize(m, size);
}

float VTScreenGetSize(const LMatrix<float>& transform, float size)
{
    LMatrix<float> m = transform;
    m.Invert(); // a singular transform stays as it is
    m.m[3][0] = 0;
    m.m[3][1] = 0;
    const float x = size * m.m[0][0] + size * m.m[1][0];
    const float y = size * m.m[0][1] + size * m.m[1][1];
    const float result = std::min(std::fabs(x), std::fabs(y));
    return result < 0 ? 0 : result;
}
