#include "app/VTRequests.h"

#include "app/VTLabelLayoutData.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace {

struct KeyInfo {
    const char* key;
    VTRequestKind kind;
    const char* value; // what the value is, for the refusal of a missing one
};

constexpr KeyInfo kKeys[] = {
    { "-open", VTRequestKind::kOpen, "en projektfil" },
    { "-new", VTRequestKind::kNew, "en projekttyp (cd, dvd, bluray eller direct2disc)" },
    { "-custom", VTRequestKind::kCustom, "en etikettlayout" },
    { "-addtext", VTRequestKind::kAddText, "en textfil" },
    { "-addimage", VTRequestKind::kAddImage, "en bild" },
};

// The files a refusal names one by one.
constexpr size_t kMaxNamedFiles = 20;

std::string FileName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

const KeyInfo* FindKey(const char* key)
{
    for (const KeyInfo& k : kKeys)
        if (key && strcasecmp(key, k.key) == 0)
            return &k;
    return nullptr;
}

// The value's refusal, "" when it can be carried out.
std::string CheckValue(VTRequestKind kind, const std::string& value)
{
    if (kind == VTRequestKind::kNew) {
        VTLabelLayout* layout = VTRequestNewLayout(value);
        if (!layout)
            return "Det gick inte att skapa ett nytt projekt av typ " + value;
        delete layout;
        return "";
    }
    if (value[0] != '/')
        return "Sökvägen ”" + value + "” är inte fullständig, så det går inte att veta vilken fil "
            + "den menar.";
    return "";
}

} // namespace

bool VTRequestKeyTakesFile(const char* key)
{
    const KeyInfo* k = FindKey(key);
    return k && k->kind != VTRequestKind::kNew;
}

VTLabelLayout* VTRequestNewLayout(const std::string& kind)
{
    const char* k = kind.c_str();
    if (strcasecmp(k, "cd") == 0)
        return new VTLabelLayoutDataGenericCDStandard;
    if (strcasecmp(k, "dvd") == 0)
        return new VTLabelLayoutDataGenericDVDStandard;
    if (strcasecmp(k, "bluray") == 0)
        return new VTLabelLayoutDataGenericBluRayStandard;
    if (strcasecmp(k, "direct2disc") == 0)
        return new VTLabelLayoutDataDirectToCDDVDStandard;
    return nullptr;
}

bool VTRequestsRead(int argc, const char* const* argv, std::vector<VTRequest>& requests,
    std::vector<std::string>& refusals)
{
    requests.clear();
    refusals.clear();
    if (argc <= 0 || !argv)
        return true;
    auto argument = [&](int i) { return std::string(argv[i] ? argv[i] : ""); };
    if (argc == 1 && !argument(0).empty() && argument(0)[0] != '-') {
        // A lone label layout (as a file manager hands one over) starts a project on it.
        const std::string& path = argument(0);
        const char* kLayout = ".vtlayout";
        const size_t n = std::strlen(kLayout);
        const VTRequestKind kind
            = path.size() > n && strcasecmp(path.c_str() + path.size() - n, kLayout) == 0
            ? VTRequestKind::kCustom
            : VTRequestKind::kOpen;
        const std::string why = CheckValue(kind, path);
        if (!why.empty()) {
            refusals.push_back(why);
            return false;
        }
        requests.push_back({ kind, path });
        return true;
    }
    const size_t count = (size_t(argc) + 1) / 2;
    if (count > kVTMaxRequests) {
        refusals.push_back("För många begäranden på en gång: " + std::to_string(count) + " (högst "
            + std::to_string(kVTMaxRequests) + "). Ingen av dem har utförts.");
        return false;
    }
    // Files alone, as a launcher hands over several: one sentence for all of them.
    bool onlyFiles = true;
    for (int i = 0; i < argc && onlyFiles; ++i)
        onlyFiles = !argument(i).empty() && argument(i)[0] != '-';
    if (onlyFiles) {
        std::string names;
        for (int i = 0; i < argc; ++i) {
            if (i == int(kMaxNamedFiles)) {
                names += " …";
                break;
            }
            names += std::string(i ? ", " : "") + "”" + FileName(argument(i)) + "”";
        }
        refusals.push_back("Vorantel öppnar en fil i taget men fick " + std::to_string(argc)
            + " filer: " + names + ".");
        return false;
    }
    for (int i = 0; i < argc; i += 2) {
        const std::string key = argument(i);
        const KeyInfo* info = FindKey(key.c_str());
        if (!info && !key.empty() && key[0] != '-') {
            // A file where a request belongs: a file is named after its request.
            refusals.push_back("Filen ”" + FileName(key)
                + "” står där en begäran ska stå. Ange den efter en begäran, till exempel -open "
                  "eller -addimage.");
            --i; // what follows it is read as a request again
            continue;
        }
        if (!info) {
            refusals.push_back("Vorantel känner inte till begäran ”" + key + "”.");
            continue;
        }
        const std::string value = i + 1 < argc ? argument(i + 1) : std::string();
        if (value.empty()) {
            refusals.push_back("Begäran ”" + key + "” saknar sitt värde, " + info->value + ".");
            continue;
        }
        const std::string why = CheckValue(info->kind, value);
        if (!why.empty()) {
            refusals.push_back(why);
            continue;
        }
        requests.push_back({ info->kind, value });
    }
    if (!refusals.empty())
        requests.clear();
    return refusals.empty();
}

std::string VTRequestDoneText(const VTRequest& request)
{
    const std::string name = "”" + FileName(request.value) + "”";
    switch (request.kind) {
    case VTRequestKind::kOpen:
        return "Projektet " + name + " öppnades.";
    case VTRequestKind::kNew:
        return "Ett nytt projekt (" + request.value + ") skapades.";
    case VTRequestKind::kCustom:
        return "Ett nytt projekt på etikettlayouten " + name + " skapades.";
    case VTRequestKind::kAddText:
        return "Texten i " + name + " lades till.";
    case VTRequestKind::kAddImage:
        return "Bilden " + name + " lades till.";
    }
    return "";
}

std::string VTRequestsFailureText(
    const std::vector<VTRequest>& requests, size_t failed, const std::string& failure)
{
    std::string text = failure;
    if (requests.size() <= 1)
        return text;
    failed = std::min(failed, requests.size() - 1);
    if (failed == 0) {
        text += "\nIngen begäran hade utförts innan dess.";
    } else {
        text += "\nInnan dess utfördes " + std::to_string(failed) + " av "
            + std::to_string(requests.size()) + " begäranden:";
        for (size_t i = 0; i < failed; ++i) {
            if (i == kMaxNamedFiles) {
                text += "\n… och " + std::to_string(failed - i) + " till.";
                break;
            }
            text += "\n" + VTRequestDoneText(requests[i]);
        }
    }
    const size_t left = requests.size() - failed - 1;
    if (left == 1)
        text += "\nDen begäran som återstod utfördes inte.";
    else if (left > 1)
        text += "\nDe " + std::to_string(left) + " begäranden som återstod utfördes inte.";
    return text;
}

bool VTRequestsDispatch(const std::vector<VTRequest>& requests, VTRequestTarget& target)
{
    for (const VTRequest& r : requests) {
        bool done = false;
        switch (r.kind) {
        case VTRequestKind::kOpen:
            done = target.RequestOpen(r.value);
            break;
        case VTRequestKind::kNew:
            done = target.RequestNew(VTRequestNewLayout(r.value), r.value);
            break;
        case VTRequestKind::kCustom:
            done = target.RequestCustom(r.value);
            break;
        case VTRequestKind::kAddText:
            done = target.RequestAddText(r.value);
            break;
        case VTRequestKind::kAddImage:
            done = target.RequestAddImage(r.value);
            break;
        }
        if (!done)
            return false;
    }
    return true;
}
