// The multi-line edit control: a text view for plain or rich text with a character limit, case and
// digit filters, a single-line mode, a grey prompt, its own undo stack, styles on ranges and line
// queries. Characters, ranges and the limit count UTF-16 code units. The text view shows a text
// made from the control's text (LCocoaEditShownText.h): every edit of it is made to the text, and
// the view is given what changes in what it shows.
#pragma once

#include "lfw/mac/cocoa/LCocoaControlImpl.h"
#include "lfw/mac/cocoa/LCocoaEditShownText.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

template <class T> class LStringLongTemplate;

// The creation record of an edit view (fields in this order).
struct LEditFlags {
    bool resizable = false;
    bool lowerCase = false;
    bool upperCase = false;
    bool digitsOnly = false;
    bool readOnly = false;
    bool bordered = true;
    bool horizontalScroller = false;
    bool verticalScroller = true;
    bool singleLine = false;
    bool richText = false;
    bool detectLinks = false;
    int32_t alignment = -1; // 0 left, 1 centre, 2 right; other values: the default
};

// A character range (UTF-16 units).
struct LTextRange {
    uint64_t location = 0;
    uint64_t length = 0;
};

// A colour of the text styles (channels 0 to 1).
struct LTextColor {
    double red = 0, green = 0, blue = 0, alpha = 1;
    bool operator==(const LTextColor& o) const
    {
        return red == o.red && green == o.green && blue == o.blue && alpha == o.alpha;
    }
};

class LCocoaEditViewImpl : public LCocoaControlImpl {
public:
    // The id is not used by the view.
    LCocoaEditViewImpl(
        const LUiRect& frame, int cid, LCocoaWindow* window, const LEditFlags& flags);

    // Text.
    void setText(const char* text);
    void setRTFText(const char* data, size_t length);
    bool setTextFromFile(const char* path);
    bool setRTFTextFromFile(const char* path);
    void setInt(int value);
    void getText(char* buffer) const { getText(buffer, 260); }
    void getText(char* buffer, size_t count) const;
    void getTextLong(LStringLongTemplate<char>& text) const;
    void getRTFTextLong(LStringLongTemplate<char>& text) const;
    std::string text() const;
    std::string rtfText() const;
    int getInt() const;
    void setMaximumTextLength(uint32_t length) { uTextMaximumLength = length; }
    uint32_t maximumTextLength() const { return uTextMaximumLength; }
    void setReadonly(bool readOnly);
    bool isReadonly() const { return bReadOnly; }
    bool isEnabled() const { return bEnabled; }
    void setEnabled(bool enabled);
    void SetEnabled(bool enabled) override { setEnabled(enabled); }
    bool IsEnabled() const override { return bEnabled; }
    bool isTextChanged() const { return bIsTextChanged; }
    void setTextChanged(bool changed) { bIsTextChanged = changed; }
    const std::string& prompt() const { return fPrompt; }
    void setPrompt(const char* prompt);
    void setVerticalScroll(bool on);
    void setHorizontalScroll(bool on);
    void setLeftMargin(double left, double right);
    bool isSingleline() const { return bIsSingleline; }
    bool isRichText() const { return bRichText; }
    // Links: with rich text and link detection, the addresses in the text (web and mail
    // addresses) are shown as links, and a click on one opens it with the desktop's handler.
    bool isDetectingLinks() const { return bDetectLinks; }
    // The address a click at the character (UTF-16 units) opens; "" when it is on no link.
    std::string linkAt(uint64_t index) const;

    // Lines (0-based).
    int getNumberOfLinesBasedOnLineBreaks() const;
    int getNumberOfLinesWrappedText();
    uint64_t getCharIndexOfLine(int line) const;
    uint64_t getLineLength(uint64_t index) const;
    int getLineFromCharIndex(uint64_t index) const;

    // Selection.
    LTextRange getSelectionRange() const;
    LTextRange selectedRange() const; // the plain selection
    void setSelectedRange(LTextRange range);
    void showSelection(bool show, bool focus);
    bool isSelectionSameCharProperties() const;

    // Styles on ranges; an empty range sets what is typed next.
    void setBold(bool on, LTextRange range);
    bool getBoldForRange(LTextRange range) const;
    void setItalic(bool on, LTextRange range);
    bool getItalicForRange(LTextRange range) const;
    void setUnderline(bool on, LTextRange range);
    bool getUnderlineForRange(LTextRange range) const;
    void setStrikeOut(bool on, LTextRange range);
    bool getStrikeOutForRange(LTextRange range) const;
    void setFontSize(double points, LTextRange range);
    double getFontSizeForRange(LTextRange range) const;
    void setFont(const char* family, LTextRange range);
    bool getFontForRange(LTextRange range, char* family) const; // 260 bytes
    void setFontColor(const LTextColor* color, LTextRange range); // null: black
    LTextColor getFontColorForRange(LTextRange range) const;
    void setBackColor(const LTextColor* color, LTextRange range); // null: none
    bool getBackColorForRange(LTextRange range, LTextColor& color) const;
    void setFirstLineHeadIndent(float value, LTextRange range);
    float getFirstLineHeadIndent(LTextRange range) const;
    void setParagraphSpaceBefore(float value, LTextRange range);
    float getParagraphSpaceBefore(LTextRange range) const;
    void setParagraphSpaceAfter(float value, LTextRange range);
    float getParagraphSpaceAfter(LTextRange range) const;
    void setAlignmentX(int alignment, LTextRange range);
    int getAlignmentX(LTextRange range) const;

    // The view's own undo stack (typing and styles).
    void undo() override;
    void redo() override;
    bool canUndo() const { return !fUndo.empty(); }
    bool canRedo() const { return !fRedo.empty(); }
    bool performKeyEquivalent(const LUiEvent& event) override;

    bool isDoubleClick() const { return bIsDoubleClick; }
    GtkTextView* textView() const { return fTextView; }

    // LView
    bool AcceptsFirstResponder() const override { return true; }

    // One change of the undo stack: text inserted or removed at a place, or the style runs a
    // range had before a style change. Places are character offsets of the text.
    struct TagRun {
        std::string tag;
        size_t start = 0, end = 0;
    };
    struct Change {
        enum Kind { kInsert, kDelete, kStyle } kind = kInsert;
        size_t offset = 0;
        std::string text;
        size_t end = 0; // style: the range's end
        std::vector<TagRun> before, after; // style runs over [offset, end)
    };
    struct Step {
        std::vector<Change> changes;
        bool typing = false;
    };

protected:
    ~LCocoaEditViewImpl() override;
    GtkWidget* CreateWidget() override;
    GtkWidget* StyledWidget() override { return GTK_WIDGET(fTextView); }

private:
    static void OnInsertText(GtkTextBuffer*, GtkTextIter* at, gchar* text, gint len, gpointer);
    static void OnDeleteRange(GtkTextBuffer*, GtkTextIter* start, GtkTextIter* end, gpointer);
    static void OnCopy(GtkTextView*, gpointer);
    static void OnCut(GtkTextView*, gpointer);
    static void OnDragDataGet(
        GtkWidget*, GdkDragContext*, GtkSelectionData* data, guint info, guint, gpointer);
    // Copies the selection's part of the text.
    void CopySelection();
    static void OnMarkSet(GtkTextBuffer*, GtkTextIter*, GtkTextMark* mark, gpointer);
    static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer);
    static gboolean OnKeyRelease(GtkWidget*, GdkEventKey*, gpointer);
    static gboolean OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer);
    static gboolean OnFocusIn(GtkWidget*, GdkEventFocus*, gpointer);
    static gboolean OnFocusOut(GtkWidget*, GdkEventFocus*, gpointer);
    static gboolean OnDrawAfter(GtkWidget*, cairo_t* cr, gpointer);
    static gboolean OnSingleClickCheck(gpointer);
    static gboolean OnLinkRelease(GtkWidget*, GdkEventButton* event, gpointer);
    static gboolean OnLinkMotion(GtkWidget*, GdkEventMotion* event, gpointer);

    // Marks every address of the text as a link, anew.
    void DetectLinks();
    // Replaces the characters [from, to) of the text (character offsets) and shows the change;
    // typed: text the user put in, which takes the styles around it. beforeBreak: see
    // LCocoaEditShownText::Replace.
    void Edit(
        size_t from, size_t to, const std::string& text, bool typed, bool beforeBreak = false);
    // Makes the buffer show a change of the shown text.
    void ShowChange(const LCocoaEditShownText::Change& change);
    // Places of the text and of the buffer.
    GtkTextIter IterAtFull(size_t full) const;
    size_t FullAtIter(const GtkTextIter& at) const;
    // The character under a point of one of the text view's windows; false outside the text.
    bool IterAtEvent(GdkWindow* window, double x, double y, GtkTextIter& at) const;
    // The link around the character; false when it is on none.
    bool LinkBounds(const GtkTextIter& at, GtkTextIter& start, GtkTextIter& end) const;
    std::string LinkAddress(const GtkTextIter& start, const GtkTextIter& end) const;

    void textDidChange();
    // Whether the text holds a run of characters too long to be a word (lines then break anywhere).
    static bool HasLongRun(const char* utf8, size_t bytes);
    std::string Filtered(const std::string& text) const;
    void ReplaceAll(const std::string& text);
    void UpdateWrapMode();
    void Send(const void* key);
    // Offsets: UTF-16 units and characters of the text.
    size_t OffsetOfUtf16(uint64_t index) const;
    uint64_t Utf16OfOffset(size_t offset) const;
    bool RangeIters(LTextRange range, GtkTextIter& start, GtkTextIter& end) const;
    // The cached tag of a style value ("b", "size:12", "fg:#0000ff"...).
    GtkTextTag* Tag(const std::string& name);
    GtkTextTag* FindTag(const std::string& name) const;
    static std::string KindOf(const std::string& name);
    bool TagCovers(const std::string& name, const GtkTextIter& start, const GtkTextIter& end) const;
    std::string TagValueAt(const std::string& kind, const GtkTextIter& at) const;
    void RemoveKind(const std::string& kind, const GtkTextIter& start, const GtkTextIter& end);
    // Every style tag run over the buffer's [start, end), at the places of the text; and at the
    // buffer's places.
    std::vector<TagRun> AllRuns(const GtkTextIter& start, const GtkTextIter& end) const;
    std::vector<TagRun> ShownRuns(const GtkTextIter& start, const GtkTextIter& end) const;
    // Sets a style kind to a value (empty: none) over the range, with undo; empty range: typing.
    void SetStyle(const std::string& kind, const std::string& value, LTextRange range);
    void ApplyStyleChange(const std::string& kind, const std::string& value,
        const GtkTextIter& start, const GtkTextIter& end);
    std::string StyleAt(const std::string& kind, LTextRange range) const;
    bool FlagForRange(const char* kind, LTextRange range) const;
    bool ParagraphIters(LTextRange range, GtkTextIter& start, GtkTextIter& end) const;
    void SetParagraphStyle(const std::string& kind, const std::string& value, LTextRange range);
    float ParagraphValue(const char* kind, LTextRange range) const;
    bool HasTextFocus() const;
    void Record(Change change);
    void PushStep(Step step);
    void ApplyStep(const Step& step, bool undoing);

    bool bIsTextChanged = false;
    bool bIsDoubleClick = false;
    uint32_t uTextMaximumLength = 32767;
    bool bIsSingleline = false;
    bool bIsUppercase = false;
    bool bIsLowercase = false;
    bool bIsNumber = false;
    bool bRichText = false;
    bool bDetectLinks = false;
    GtkTextTag* fLinkTag = nullptr; // anonymous: no style of the text, never saved
    int fLinkPressOffset = -1; // the start of the link a left press was on, -1 none
    bool fOverLink = false;
    bool bReadOnly = false;
    bool bEnabled = true;
    bool bHandlingTextChange = false;
    bool bVerticalScroll = true;
    bool bHorizontalScroll = false;
    bool fHasLongRun = false; // a run of characters too long to be a word: lines break anywhere
    int iAlignment = -1;
    std::string fPrompt;
    GtkTextView* fTextView = nullptr;
    GtkTextBuffer* fBuffer = nullptr;
    LCocoaEditShownText fShown; // the text, and what the buffer shows of it
    int fSyncing = 0; // the buffer is being made to show the text: its signals are ours
    const std::u16string& Utf16Text() const; // cached until the text changes
    mutable std::u16string fUtf16;
    mutable bool fUtf16Valid = false;
    int fInternal = 0; // the text is being set or undone: the caret's moves are not the user's
    bool fUndoing = false;
    std::vector<Step> fUndo, fRedo;
    Step fCurrent; // the user action under way
    int fActionDepth = 0;
    bool fApplyingTyping = false;
    std::map<std::string, std::string> fTypingStyles; // kind -> value ("" none)
    unsigned fClickTimer = 0;
    bool fShowSelection = true;
    GtkCssProvider* fSelectionCss = nullptr;
    double fLeftMargin = 0, fRightMargin = 0;
};

namespace LCocoaEditLinks {
// An address found in a text: its place in bytes of the UTF-8 text and what opening it opens.
struct Found {
    size_t start = 0, end = 0;
    std::string address;
};
// The web addresses (with a scheme of http, https or ftp, or starting with "www."), "mailto:"
// addresses and bare mail addresses of a UTF-8 text, in order; punctuation that ends a sentence
// and an unmatched closing bracket after an address are not part of it.
std::vector<Found> Find(const std::string& utf8);
} // namespace LCocoaEditLinks

namespace LCocoaEditRtf {
// A small RTF writer and reader for exactly the attributes of the edit view: runs of text with
// bold, italic, underline, strike-out, family, size and colours, and paragraphs.
struct Run {
    std::string text; // UTF-8
    bool bold = false, italic = false, underline = false, strike = false;
    std::string family;
    double size = 0; // 0: default
    bool hasColor = false;
    LTextColor color;
};
std::string Write(const std::vector<Run>& runs);
// Reads what it understands; unknown groups and words are skipped. Nesting deeper than 64 and
// numbers past int are cut. Answers false when the data is not RTF.
bool Read(const char* data, size_t length, std::vector<Run>& runs);
} // namespace LCocoaEditRtf
