#include "app/VTTemplate.h"

VTTemplateData* VTTemplate::CreateTemplateData(VTTemplateFormat format)
{
    switch (format) {
    case VTTemplateFormatDisc:
        return new VTTemplateDataDiscCDDVDStandard;
    case VTTemplateFormatCaseCDFront:
        return new VTTemplateDataCaseCDStandardFront;
    case VTTemplateFormatCaseCDBack:
        return new VTTemplateDataCaseCDStandardBack;
    case VTTemplateFormatJewelCaseInsert:
        return new VTTemplateDataJewelCaseInsertStandard;
    case VTTemplateFormatCaseDVD:
        return new VTTemplateDataCaseDVDStandard;
    case VTTemplateFormatCaseBluRay:
        return new VTTemplateDataCaseBluRayStandard;
    default:
        return nullptr;
    }
}
