#include "app/VTRequests.h"

#include "app/VTLabelLayoutData.h"

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
    for (int i = 0; i < argc; i += 2) {
        const std::string key = argument(i);
        const KeyInfo* info = FindKey(key.c_str());
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
