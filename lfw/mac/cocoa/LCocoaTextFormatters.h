// Formatters decide, keystroke by keystroke, whether an input field may take the text the user
// is typing: they are asked with the whole text the edit would leave. A refusal keeps the
// previous text; an error text that comes with it is shown in a bubble tip at the field.
// Lengths count UTF-16 code units.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class LCocoaWindow;

class LCocoaFormatter {
public:
    virtual ~LCocoaFormatter() = default;
    // True when the field may show the partial text; on a refusal, *error may get a text.
    virtual bool isPartialStringValid(const std::string& partial, std::string* error) const = 0;
    // The length limit (0 none) of the formatters that have one.
    virtual uint64_t maximumTextLength() const { return 0; }
    virtual void setMaximumTextLength(uint64_t length) { (void)length; }
};

// Limits the length only; the default formatter of input and password fields.
class LCocoaTextFieldFormatter : public LCocoaFormatter {
public:
    uint64_t maximumTextLength() const override { return uMaximumTextLength; }
    void setMaximumTextLength(uint64_t length) override { uMaximumTextLength = length; }
    bool isPartialStringValid(const std::string& partial, std::string* error) const override;

private:
    uint64_t uMaximumTextLength = 0;
};

// Makes a field numeric: integers only while typing, or anything in decimal mode (the finished
// text is judged when it is read).
class LNumberValueFormatter : public LCocoaFormatter {
public:
    LNumberValueFormatter() = default;
    void setDecimalFormat(bool decimal) { bDecimal = decimal; }
    bool isDecimalFormat() const { return bDecimal; }
    void setMaximumFractionDigits(int digits) { iMaximumFractionDigits = digits; }
    int maximumFractionDigits() const { return iMaximumFractionDigits; }
    int32_t minimumValue() const { return iMinimumValue; }
    void setMinimumValue(int32_t value) { iMinimumValue = value; }
    uint64_t maximumTextLength() const override { return _maximumTextLength; }
    void setMaximumTextLength(uint64_t length) override { _maximumTextLength = length; }
    bool isPartialStringValid(const std::string& partial, std::string* error) const override;

    // The text shown for the value: integers plainly, decimals with at most the fraction
    // digits set (all when none is set).
    std::string editingStringForValue(double value) const;

private:
    int32_t iMinimumValue = 0;
    uint64_t _maximumTextLength = 0;
    bool bDecimal = false;
    int iMaximumFractionDigits = -1;
};

// Hands every partial text to a filter of the owning window.
class LEditControlFormatter : public LCocoaFormatter {
public:
    using Filter = std::function<bool(const char* text)>;
    void setFilterFunction(Filter filter) { pFunc = std::move(filter); }
    bool hasFilterFunction() const { return bool(pFunc); }
    void setLfwWindow(LCocoaWindow* window) { pWindow = window; }
    LCocoaWindow* lfwWindow() const { return pWindow; }
    // Without a filter every edit is refused.
    bool isPartialStringValid(const std::string& partial, std::string* error) const override;

private:
    Filter pFunc;
    LCocoaWindow* pWindow = nullptr;
};

// The length of a UTF-8 text in UTF-16 code units.
uint64_t LCocoaUtf16Length(const std::string& text);

// The error text of a numeric field.
inline constexpr const char* kLNumberOnlyError = "Du kan bara skriva ett nummer här.";
