// Help pages, the maker's web pages and the tracking query they receive.
//
// A help topic is a lower-case id ("dialogs_printpreview"); its local page is "<topic>.html" in
// the help folder, else the help server's online page with the tracking query. Pages and files
// open with the desktop's default handler.
#pragma once

#include "lfw/gen/LFormat.h"

inline constexpr size_t kLHelpURLSize = 2085;

// Opens the topic's page; parent (an LView*, may be null) is the view the help was asked from.
void LOpenHelpPage(void* parent, const char* topic);
// "file://" and the local file's path when it exists, else the online URL (2085 bytes).
void LHelpGetHelpPageFilePath(char* out, const char* topic);
void LHelpGetOnlineHelpPageURL(char* out, const char* topic);
// Opens a URL, "file://" + path, or an absolute path; a text without "://" gets "http://".
// False when nothing could be opened; nothing is said (for pages the program opens by itself).
bool LOpenWebPage(const char* urlOrPath);
// The same for a page the user asked for (help, the maker's pages, the suite's links): when the
// desktop cannot open it (no opener, or the opener fails: no browser), an alert over the window
// of parent (an LView*; without one, the window the user works in) says so and names the
// address, so that the user can open it by hand. A text that is no usable address is refused
// without an alert.
bool LOpenWebPageForUser(const char* urlOrPath, void* parent);
// A page of the maker's sites (260 bytes): "+page" on the second site, else the first.
void LGetZORWebPageURL(char* out, const char* page);
void LTrackingParametersAppendCommon(LFixedLengthStringWriterTemplate<char>& writer);
void LTrackingParametersAppendUsage(LFixedLengthStringWriterTemplate<char>& writer);
bool LAppGetDaysSinceFirstInstalled(int& days);
// The mail server and account for pre-filled forms; the desktop has no common store of them,
// so both are the "Software"/"SMTPHost" and "Software"/"MailAccount" settings (empty when
// unset). Always true.
bool LEmailGetDefaultSettingsAppleMail(char* smtpHost, char* mailAccount);
// Seeds the standard random generator from the clock.
void randomize();
