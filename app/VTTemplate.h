// The factory of template geometries.
#pragma once

#include "app/VTTemplateData.h"

class VTTemplate {
public:
    // A new geometry of the format with its defaults (the caller owns it); null for a value
    // outside 0 to 5.
    static VTTemplateData* CreateTemplateData(VTTemplateFormat format);
};
