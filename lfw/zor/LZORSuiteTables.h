// The tables of the product-suite window: the maker's programs and the tasks they do, by
// category. Fixed data of the program; tests may put tables of their own in place.
#pragma once

#include <cstddef>

struct ProgTableEntry {
    const char* buildKey;
    const char* title;
    const char* setupName;
    const char* webPage; // a leading "+" selects the maker's second web site
    int rank; // ordering weight, 0 for none
    const char* description;
};

struct TopicTableEntry {
    const char* category; // a tab name
    const char* buildKey; // the program that does the task
    const char* task;
    int reserved; // always 0
};

inline constexpr size_t kZORSuiteProgramCount = 33;
inline constexpr size_t kZORSuiteTopicCount = 60;
extern const ProgTableEntry kZORSuitePrograms[kZORSuiteProgramCount];
extern const TopicTableEntry kZORSuiteTopics[kZORSuiteTopicCount];

struct LZORSuiteTables {
    const ProgTableEntry* programs;
    size_t programCount;
    const TopicTableEntry* topics;
    size_t topicCount;
};
// The tables in use: the compiled-in ones unless others were set.
const LZORSuiteTables& LZORSuiteGetTables();
// Puts other tables in place (null: the compiled-in ones again). They must outlive their use.
void LZORSuiteSetTables(const LZORSuiteTables* tables);
// The program whose build key equals key (without regard to case); null when none does.
const ProgTableEntry* LZORSuiteFindProgram(const char* buildKey);
// The page address of a program (https, the site its page names); 260 bytes.
void LZORSuiteGetProgramPageURL(char* out, const ProgTableEntry& program);
