// The printable ring of a disc in document files: a container (chunk 5 of a disc label position
// in a label layout, and of a disc design in a project) holding
//   1 float outer diameter, 2 float inner diameter, 3 bool second band in use,
//   4 float band outer diameter, 5 float band inner diameter (millimetres).
#pragma once

#include "app/VTDocumentLimits.h"
#include "app/VTTemplateData.h"
#include "lfw/gen/LProcess.h"
#include "lfw/gen/LSDF.h"

#include <cmath>

inline constexpr uint16_t kVTDiscDimensionsChunk = 5;

// Writes the whole container (id 5) from the geometry's ring. A failed write is latched by the
// writer and found when the document is closed.
template <class T>
LProcessResult VTSerialiseTemplateDiscDimensionsToSDF(
    LProcessInterface& process, LSDFWriter<T>& writer, const VTTemplateDataDiscCDDVDStandard& data)
{
    float outer = 0, inner = 0, bandOuter = 0, bandInner = 0;
    bool useBand = false;
    data.GetDiscPrintableArea(outer, inner, useBand, bandOuter, bandInner);
    writer.StartContainer(kVTDiscDimensionsChunk);
    writer.WriteFloat(1, outer);
    writer.WriteFloat(2, inner);
    writer.WriteBool(3, useBand);
    writer.WriteFloat(4, bandOuter);
    writer.WriteFloat(5, bandInner);
    writer.EndContainer(kVTDiscDimensionsChunk);
    process.SetProgress(1.0);
    return LProcessResultSuccess;
}

// Reads the container's five values and applies them through SetDiscPrintableArea (with its
// clamps). Any other id, a value too short or not finite, or a missing value is an error (2,
// text set).
template <class T>
LProcessResult VTSerialiseTemplateDiscDimensionsFromSDF(LProcessInterface& process,
    LSDFReader<T>& reader, const LSDFChunkInfo<T>& container, VTTemplateDataDiscCDDVDStandard& data)
{
    float values[6] = {};
    bool useBand = false;
    bool seen[6] = {};
    LSDFReaderChunkIterator<T> it(reader, container);
    while (it.Next()) {
        const uint16_t id = it->GetId();
        bool ok = false;
        switch (id) {
        case 1:
        case 2:
        case 4:
        case 5:
            // A value that is not a finite number is as unreadable as a short one.
            ok = it->ReadFloat(values[id]) && std::isfinite(values[id]);
            break;
        case 3:
            ok = it->ReadBool(useBand);
            break;
        default:
            process.SetError("Okända skivdimensioner.");
            return LProcessResultError;
        }
        if (!ok) {
            static const char* const messages[6] = {
                "",
                "Det gick inte att läsa skivans yttre diameter.",
                "Det gick inte att läsa skivans innerdiameter.",
                "Det gick inte att läsa användningsvärdet för skivband.",
                "Det gick inte att läsa skivbandets yttre diameter.",
                "Det gick inte att läsa skivbandets innerdiameter.",
            };
            process.SetError(messages[id]);
            return LProcessResultError;
        }
        seen[id] = true;
    }
    if (!reader.IsGood() || !seen[1] || !seen[2] || !seen[3] || !seen[4] || !seen[5]) {
        process.SetError("Det gick inte att läsa skivdimensioner.");
        return LProcessResultError;
    }
    data.SetDiscPrintableArea(values[1], values[2], useBand, values[4], values[5]);
    // The diameters are kept in order, so the outer one is the largest: beyond any design's
    // size, the ring belongs to no disc (and would hold the drawing code for ever).
    if (!VTIsPlausibleLength(data.GetOuterDiameter())) {
        process.SetError("Det gick inte att läsa skivdimensioner.");
        return LProcessResultError;
    }
    return LProcessResultSuccess;
}
