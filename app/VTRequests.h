// The requests of the command line and of a later start, read whole before any of them is
// carried out. A lone argument that is no key names a project to open, or a label layout
// (".vtlayout") to start a new project on as "-custom" does; otherwise the arguments
// are pairs of a request and its value: "-open file.vtproj", "-new cd|dvd|bluray|direct2disc",
// "-custom file.vtlayout", "-addtext file.txt", "-addimage picture" (requests and kinds in any
// case). Paths are absolute: the starts make them so against their own working folder.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class VTLabelLayout;

enum class VTRequestKind { kOpen, kNew, kCustom, kAddText, kAddImage };

struct VTRequest {
    VTRequestKind kind = VTRequestKind::kOpen;
    std::string value; // a path, or the kind of a new project
};

// At most this many requests are carried out from one start; more are refused whole.
inline constexpr size_t kVTMaxRequests = 1000;

// Whether the value of the request key names a file.
bool VTRequestKeyTakesFile(const char* key);

// Reads the arguments after the program path into requests. False, with one Swedish sentence
// per fault in refusals, when any argument is not a request this program knows, a request lacks
// its value, "-new" names a kind it does not know, a path is not absolute, or there are more
// than kVTMaxRequests requests (then that is the only sentence).
bool VTRequestsRead(int argc, const char* const* argv, std::vector<VTRequest>& requests,
    std::vector<std::string>& refusals);

// The built-in layout of a "-new" kind (the caller owns it), null for a kind it does not know.
VTLabelLayout* VTRequestNewLayout(const std::string& kind);

// What a request did once carried out, in one Swedish sentence ("Texten i ”t.txt” lades till.").
std::string VTRequestDoneText(const VTRequest& request);
// What the window and the asker are told of a start that failed while it ran: why the request
// at index failed (failure), what the requests before it did (the first twenty named, the rest
// counted), and how many after it were not carried out.
std::string VTRequestsFailureText(
    const std::vector<VTRequest>& requests, size_t failed, const std::string& failure);

// What carries requests out, one operation per kind; each answers false when its request failed.
class VTRequestTarget {
public:
    virtual ~VTRequestTarget() = default;
    virtual bool RequestOpen(const std::string& path) = 0;
    // Takes the layout over.
    virtual bool RequestNew(VTLabelLayout* layout, const std::string& kind) = 0;
    virtual bool RequestCustom(const std::string& path) = 0;
    virtual bool RequestAddText(const std::string& path) = 0;
    virtual bool RequestAddImage(const std::string& path) = 0;
};

// Carries the requests out in order until one fails: true when every one was.
bool VTRequestsDispatch(const std::vector<VTRequest>& requests, VTRequestTarget& target);
