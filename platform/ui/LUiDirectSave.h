// Files that a drag's source only promises (X direct save, "XdndDirectSave0"): the source names
// a file in a property of its drag window; the receiver writes the full file URI it wants into
// that property and asks for the XdndDirectSave0 target; the source then writes the file from its
// own process and answers "S" (saved or being saved), "F" (failed: send the data another way) or
// "E" (error).
#pragma once

#include "platform/ui/LView.h"

#include <string>

inline constexpr const char* kLUiDirectSaveType = "XdndDirectSave0";

// Whether the drag offers a direct save.
bool LUiDirectSaveOffered(const LUiDragInfo& info);

// The file name the source proposes, as it stands in the property ("" when there is none).
std::string LUiDirectSaveProposedName(const LUiDragInfo& info);

// Asks the source to save into fileUri (a file:// URI): sets the property, asks for the target
// and waits (the main loop turning) for the answer, at most timeoutMs. Answers 'S', 'F' or 'E',
// or 0 when no answer came or the drag has no source window. Only at the drop, inside the view's
// PerformDragOperation.
char LUiDirectSaveRequest(
    const LUiDragInfo& info, LView* view, const char* fileUri, unsigned int timeoutMs = 10000);

// Ends the drop now, so that the source stops waiting while we go on (asking the user, waiting
// for the file). The view does not end it a second time.
void LUiDragFinishEarly(const LUiDragInfo& info, bool success);

// For the view's drop handling: takes the answer of a pending request (true when the data was
// one), and tells whether the drop was ended early.
bool LUiDirectSaveTakeAnswer(GdkDragContext* context, GtkSelectionData* selection);
bool LUiDragFinishedEarly(GdkDragContext* context);
