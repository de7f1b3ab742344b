// The about box's texts and the online version check.
//
// The version check fetches "/versions/vorantel_mac_sv.txt" from the version host: a body
// "version=<number>&info=<url>&download=<url>". Only a 200 reply whose body holds a finite
// number and both addresses counts; anything else is "no version information".
#pragma once

#include "lfw/gen/LProcess.h"
#include <vector>

#include <string>

inline constexpr const char* kLAboutVersionText = "6.27";
inline constexpr double kLAboutVersion = 6.27;
inline constexpr const char* kLAboutVersionFilePath = "/versions/vorantel_mac_sv.txt";

// The version-check job record.
struct LProcessCheckForVersionUpdates {
    double version = 0;
    std::string infoURL;
    std::string downloadURL;
};

// Reads a raw HTTP reply (status line, headers, body) into the record: 0, or 2 when it is not
// a 200 reply or its body lacks a value.
LProcessResult LAboutParseVersionReply(const char* reply, LProcessCheckForVersionUpdates& data);
// The full address of the version file on the version host.
std::string LAboutGetVersionFileURL();
LProcessResult Process(LProcessInterface& job, LProcessCheckForVersionUpdates& data);

// The menu command: runs the check under a progress dialog and tells the user the outcome.
void LAboutCheckForVersionUpdate(void* parent);
// The newest version: from "Settings"/"NewerVersion" when that is already newer than this
// version, else from the server (stored back as version × 100).
int LAboutAppUpdateVersionGet(double& version);
// The start-up reminder about unsupported systems. This desktop has no such gate: always true,
// without a request.
bool LAboutCheckOSVersion(bool required);
bool IsOSLaterThanSupported();

// Licence and credit texts that parts of the program register, joined by a separator line.
class LLicenseTermsAndCredits {
public:
    static LLicenseTermsAndCredits& Get();
    void Add(const char* terms, const char* credits);
    void GetLicenseTermsAndCredits(std::string& terms, std::string& credits) const;

private:
    struct Entry {
        std::string terms;
        std::string credits;
    };
    std::vector<Entry> fEntries;
};
void LGetLicenseTermsAndCredits(std::string& terms, std::string& credits);

// Opens the about box over the parent window (or brings it forward). The window layer installs
// the box itself; until then an information alert shows the about page's texts.
using LAboutBoxFunction = void (*)(void* parent);
void LAboutSetBoxFunction(LAboutBoxFunction function);
void LAboutBoxShow(void* parent);

// The about page's texts.
const char* LAboutGetLicenseAgreement();
// "Distributor"/"Name" of the shared settings, "ZOR Software" by default (260 bytes).
void LAboutGetDistributorName(char* out);
// "Distributor"/"URL", by default the product's Swedish index page; "http://" is put in front
// only of an address without a scheme (260 bytes).
void LAboutGetDistributorURL(char* out);
// Whether a page address may be handed to the browser: http and https only.
bool LAboutIsWebAddress(const char* url);
