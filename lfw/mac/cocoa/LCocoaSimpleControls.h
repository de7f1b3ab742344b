// The window's small controls: an image control, a titled group box, a separator line, a progress
// bar, a date picker and a hyperlink. A mouse press on any of them first makes a field being
// edited elsewhere in the window commit its text.
#pragma once

#include "lfw/mac/cocoa/LCocoaControlImpl.h"

#include <cairo.h>
#include <ctime>
#include <string>

// The creation record of a group box (nothing in it is read yet).
struct LGroupBoxFlags {
    bool reserved = false;
};

// Shows an image scaled proportionally (up or down) and centred, without a frame.
class LCocoaImageControlImpl : public LCocoaControlImpl {
public:
    explicit LCocoaImageControlImpl(const LUiRect& frame);

    void setImageWithResourceID(int id);
    void setImageWithResourceName(const char* name);
    // The image is referenced, not taken over; null shows none.
    void setImageWithResourceImage(cairo_surface_t* image);
    cairo_surface_t* image() const { return fImage; }
    // Where the image is drawn in the view (points); empty without an image.
    LUiRect imageRect() const;

protected:
    ~LCocoaImageControlImpl() override;
    GtkWidget* CreateWidget() override;

private:
    void ImageDidChange();
    cairo_surface_t* fImage = nullptr;
};

class LCocoaGroupImpl : public LCocoaControlImpl {
public:
    LCocoaGroupImpl(const LUiRect& frame, const char* title);

    // An empty title shows none (no title strip at all).
    void setTitle(const char* title);
    const std::string& title() const { return fTitle; }
    bool hasTitleStrip() const { return !fTitle.empty(); }
    void setEnabled(bool enabled);
    bool isEnabled() const { return enabled; }
    void SetEnabled(bool on) override { setEnabled(on); }
    bool IsEnabled() const override { return enabled; }
    int tag() const { return Tag(); }
    void setTag(int tag) { SetTag(tag); }

    AtkRole AccessibleRole() const override { return ATK_ROLE_PANEL; }
    std::string AccessibleName() const override { return fTitle; }

protected:
    GtkWidget* CreateWidget() override;

private:
    static gboolean OnPress(GtkWidget*, GdkEventButton*, gpointer data);
    std::string fTitle;
    bool enabled = true;
};

class LCocoaSeparatorImpl : public LCocoaControlImpl {
public:
    explicit LCocoaSeparatorImpl(const LUiRect& frame);
    int tag() const { return Tag(); }
    void setTag(int tag) { SetTag(tag); }

protected:
    GtkWidget* CreateWidget() override;
};

class LCocoaProgressBarImpl : public LCocoaControlImpl {
public:
    explicit LCocoaProgressBarImpl(const LUiRect& frame);

    // Indeterminate: the bar pulses every 100 ms until turned off.
    void enableIndeterminate(bool on);
    bool isIndeterminate() const { return fPulse != 0; }
    // 0 to 100.
    void setDoubleValue(double value);
    double doubleValue() const { return fValue; }
    int tag() const { return Tag(); }
    void setTag(int tag) { SetTag(tag); }

    AtkRole AccessibleRole() const override { return ATK_ROLE_PROGRESS_BAR; }

protected:
    ~LCocoaProgressBarImpl() override;
    GtkWidget* CreateWidget() override;

private:
    double fValue = 0;
    unsigned fPulse = 0;
};

// A date and time: an entry with a calendar in a popover.
class LCocoaDateTimeImpl : public LCocoaControlImpl {
public:
    LCocoaDateTimeImpl(const LUiRect& frame, LCocoaWindow* window);

    void setID(int id) { SetTag(id); }
    // Sets the value without telling the window.
    void setDateTime(time_t value);
    time_t dateTime() const { return fValue; }
    // A user edit of the value (as a day chosen in the calendar).
    void handleDatePickerChanged(time_t value);

protected:
    GtkWidget* CreateWidget() override;

private:
    void UpdateText();
    time_t fValue;
    bool bDisableChangedCmd = false;
    GtkWidget* fEntry = nullptr;
    GtkWidget* fCalendar = nullptr;
};

// A link: a label in the link colour, underlined, with the pointing hand. A click, or Return or
// Space while it has the keyboard focus, opens its URL through the desktop's opener or, without a
// URL, sends the control's id.
class LCocoaHyperLinkImpl : public LCocoaControlImpl {
public:
    LCocoaHyperLinkImpl(const LUiRect& frame, LCocoaWindow* window);

    void setID(int id) { SetTag(id); }
    // An empty URL leaves none.
    void setURL(const char* url);
    const std::string& url() const { return fURL; }
    void setText(const char* text);
    const std::string& text() const { return fText; }
    void getText(char* buffer) const { LCocoaControl::CopyText(fText, buffer, 260); }
    void setColor(double red, double green, double blue);
    // Takes effect at the next updateText.
    void setUnderLine(bool underline) { bUnderLine = underline; }
    void updateText();
    void updateTextNormal();
    bool isUnderlineShown() const { return fShownUnderline; }
    void setTextAlignment(int alignment); // 0 left, 1 centre, 2 right
    // The click (a left press).
    void mouseDown();

    // The program that opens URLs ("xdg-open").
    static void setOpener(const char* program);

    bool AcceptsFirstResponder() const override { return _acceptsFirstResponder; }
    AtkRole AccessibleRole() const override { return ATK_ROLE_LINK; }
    std::string AccessibleName() const override { return fText; }
    const char* AccessibleActionName() const override { return "click"; }
    bool AccessibleActivate() override
    {
        mouseDown();
        return true;
    }

protected:
    GtkWidget* CreateWidget() override;
    GtkWidget* StyledWidget() override { return fLabel; }
    void FontDidChange() override { updateText(); }

private:
    void Apply(bool underline);
    // The focus ring around the text (box: the control's widget).
    void DrawFocus(GtkWidget* box, cairo_t* cr);
    std::string fText;
    std::string fURL;
    double fRed = 0, fGreen = 0, fBlue = 238.0 / 255.0;
    bool _acceptsFirstResponder = true;
    bool bUnderLine = true;
    bool fShownUnderline = true;
    int fAlignment = 0;
    GtkWidget* fLabel = nullptr;
};
