// Projects of the older XML format (".vtx", root element "vorantel_project"), read only. The old
// format knew CD and DVD projects, straight texts, images and a solid background colour per
// design, each design placed on a sheet of paper by offsets. Reading one builds a whole project:
// a custom label layout with one page per design, the designs and their overlays.
//
// The format, with the defaults of missing attributes:
//   <vorantel_project type="cd|dvd">
//     <container type="disc|cd_front|cd_back|dvd" h_print_centered="true" h_print_offset="0"
//                v_print_centered="true" v_print_offset="0" bgcolor="ffffffff">
//       <element type="text|image" x="0" y="0" w="0" h="0" angle="0" .../>
//   Offsets are tenths of a millimetre, boxes hundredths (x, y the top-left corner), angles
//   degrees, colours hexadecimal RRGGBBAA. A text element has "text", "font" ("Lucida Grande"),
//   "font_size" (7; points = value x 0.3), "font_style" (bits: 1 bold, 2 italic, 4 underline),
//   "font_alignment" (1 to 10), "color" ("0", alpha ignored) and "bgcolor" ("ffffffff"); an image
//   element names its picture file in "img". A "cd" project reads disc, cd_front and cd_back
//   containers and skips dvd ones; a "dvd" project reads disc and dvd and skips the CD case ones.
//
// A font this machine does not have does not stop the reading: the face name is kept and
// drawing falls back through fontconfig. A picture that cannot be read leaves an empty image
// overlay in its box, and the reading goes on; the pictures not read are named in one error text
// ("Det gick inte att läsa in en överlagringsbild korrekt:" and a line each) set when the whole
// project has been read, while the result stays 0. Numbers are read with saturation, sizes below
// 0 count as 0 and point sizes are kept between 1 and 1000.
#pragma once

#include "lfw/gen/LProcess.h"
#include "lfw/mac/LPaperSize.h"

class LXMLElement;
class VTLabelLayout;
class VTOverlay;
class VTOverlayImage;
class VTOverlayText;
class VTProject;
class VTProjectTemplate;

// Reads the file into the project: parses it (an unreadable file: "Det gick inte att tolka
// filen."), reads the project from the document and, on success, gives the project the file's
// path with the extension ".vtproj", so that the next save writes the current format beside the
// old file. 0 read, 1 stopped, 2 error with the job's error text set. The caller's load job goes
// on as for a project file (save state, observers).
LProcessResult VTProjectLoadXML(LProcessInterface& process, VTProject& project, const char* path);

// The project from a parsed document. On success the project's designs and layout are replaced
// by those read; on failure the project is left as it was. Errors: "Filen är inte ett
// Vorantel-projekt.", "Ogiltig projekttyp.", "Ogiltig malltyp.", "Inga mallar hittades." and
// those of the designs.
LProcessResult VTProjectSerialiseFromXML(
    LProcessInterface& process, VTProject& project, const LXMLElement& document);

// One design from its container element: a new page of the orientation in the layout holding a
// new label position of the design's format (turned by 90 degrees on a landscape page), placed
// by the container's offsets, the design mapped to it; the background colour; the overlays.
LProcessResult VTProjectTemplateSerialiseFromXML(LProcessInterface& process,
    VTProjectTemplate& projectTemplate, const LXMLElement& container, VTLabelLayout& layout,
    LPaperSizeOrientation orientation);

// The placement of an element: box, centre and rotation (width and height exchanged for angles
// of about 90 and 270 degrees).
LProcessResult VTOverlaySerialiseFromXML(
    LProcessInterface& process, VTOverlay& overlay, const LXMLElement& element);
LProcessResult VTOverlayTextSerialiseFromXML(
    LProcessInterface& process, VTOverlayText& overlay, const LXMLElement& element);
LProcessResult VTOverlayImageSerialiseFromXML(
    LProcessInterface& process, VTOverlayImage& overlay, const LXMLElement& element);
