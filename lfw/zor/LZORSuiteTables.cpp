#include "lfw/zor/LZORSuiteTables.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LFormat.h"
#include "lfw/net/LOnlineHosts.h"

#include <atomic>
#include <strings.h>

// clang-format off
const ProgTableEntry kZORSuitePrograms[kZORSuiteProgramCount] = {
    { "Vorantel", "Vorantel skivetiketter", "vorantel", "+vorantel/index.html", 0,
      "Gör etiketter och omslag till cd- och dvd-skivor och fodral." },
    { "Sondrup", "Sondrup ljudredigerare", "sondrup", "+sondrup/index.html", 90,
      "Spela in, klipp och redigera ljud. Ta bort brus, lägg till effekter och spara i alla vanliga ljudformat." },
    { "vt-inspelning", "Ljudinspelaren", "vt-inspelning", "+inspelning/index.html", 80,
      "Spelar in ljud från mikrofonen eller datorn och sparar det som en ljudfil." },
    { "vt-diktat", "Diktatskrivaren", "vt-diktat", "+diktat/index.html", 70,
      "Spela in diktat och skicka dem vidare till den som skriver ut dem." },
    { "vt-videoklipp", "Videoklipparen", "vt-videoklipp", "+videoklipp/index.html", 75,
      "Klipp ihop filmer med övergångar, text och musik." },
    { "vt-bildvisare", "Bildvisaren", "vt-bildvisare", "+bildvisare/index.html", 60,
      "Visa, vrid och ordna bilder i mappar." },
    { "vt-skivbrannare", "Skivbrännaren", "vt-skivbrannare", "+skivbrannare/index.html", 65,
      "Bränn data, musik och film på cd, dvd och blu-ray." },
    { "vt-omvandlare", "Filomvandlaren", "vt-omvandlare", "+omvandlare/index.html", 55,
      "Gör om filer mellan de vanligaste formaten för ljud, bild och dokument." },
    { "vt-ljudomvandlare", "Ljudomvandlaren", "vt-ljudomvandlare", "ljudomvandlare.html", 0,
      "Gör om ljudfiler mellan olika format och bithastigheter." },
    { "vt-musikmixer", "Musikmixern", "vt-musikmixer", "musikmixer.html", 0,
      "Blanda spår och loopar till egen musik." },
    { "vt-tonhojd", "Tonhöjdsväxlaren", "vt-tonhojd", "tonhojd.html", 0,
      "Ändra tonhöjd och tempo på inspelningar var för sig." },
    { "vt-podd", "Poddinspelaren", "vt-podd", "podd.html", 0,
      "Spela in och ge ut egna poddavsnitt." },
    { "vt-transkribering", "Transkriberaren", "vt-transkribering", "+transkribering/index.html", 0,
      "Spela upp inspelningar med fotpedal eller kortkommandon medan du skriver ut dem." },
    { "vt-faktura", "Fakturaskrivaren", "vt-faktura", "faktura.html", 0,
      "Skriv fakturor och offerter och håll reda på vad som är betalt." },
    { "vt-lager", "Lagerlistan", "vt-lager", "lager.html", 0,
      "Håll ordning på varor, lager och beställningar." },
    { "vt-kassabok", "Kassaboken", "vt-kassabok", "kassabok.html", 0,
      "Bokför inkomster och utgifter för små företag och föreningar." },
    { "vt-ritning", "Planritaren", "vt-ritning", "ritning.html", 0,
      "Rita planlösningar, diagram och scheman." },
    { "vt-videoomvandlare", "Videoomvandlaren", "vt-videoomvandlare", "videoomvandlare.html", 0,
      "Gör om filmer så att de spelas på telefonen, surfplattan eller tv:n." },
    { "vt-bildspel", "Bildspelsmakaren", "vt-bildspel", "bildspel.html", 0,
      "Gör bildspel med musik av dina foton." },
    { "vt-skarminspelning", "Skärminspelaren", "vt-skarminspelning", "skarminspelning.html", 0,
      "Spela in det som händer på skärmen, med eller utan ljud." },
    { "vt-fotoredigering", "Fotoredigeraren", "vt-fotoredigering", "+fotoredigering/index.html", 0,
      "Beskär, rätta färger och ta bort röda ögon på dina foton." },
    { "vt-bildomvandlare", "Bildomvandlaren", "vt-bildomvandlare", "bildomvandlare.html", 0,
      "Gör om och ändra storlek på många bilder på en gång." },
    { "vt-ritprogram", "Ritbordet", "vt-ritprogram", "ritprogram.html", 0,
      "Måla och rita med penslar, lager och former." },
    { "vt-kollage", "Kollagemakaren", "vt-kollage", "kollage.html", 0,
      "Sätt ihop foton till kollage, kort och affischer." },
    { "vt-filsok", "Filsökaren", "vt-filsok", "filsok.html", 0,
      "Hitta filer efter namn, innehåll och datum." },
    { "vt-sakerhetskopia", "Säkerhetskopieraren", "vt-sakerhetskopia", "sakerhetskopia.html", 0,
      "Säkerhetskopiera mappar automatiskt till en annan disk." },
    { "vt-arkiv", "Arkivpackaren", "vt-arkiv", "arkiv.html", 0,
      "Packa och packa upp arkivfiler." },
    { "vt-dokumentomvandlare", "Dokumentomvandlaren", "vt-dokumentomvandlare", "dokumentomvandlare.html", 0,
      "Gör om textdokument mellan olika format." },
    { "vt-pdf", "Pdf-sammanfogaren", "vt-pdf", "pdf.html", 0,
      "Sätt ihop, dela upp och gör om pdf-filer." },
    { "vt-skivkopiering", "Skivkopieraren", "vt-skivkopiering", "skivkopiering.html", 0,
      "Kopiera skivor och spara dem som avbildsfiler." },
    { "vt-ljudbok", "Ljudboksläsaren", "vt-ljudbok", "ljudbok.html", 0,
      "Läs in text som ljudbok med syntetiskt tal." },
    { "vt-noter", "Notskrivaren", "vt-noter", "noter.html", 0,
      "Skriv noter och lyssna på dem medan du skriver." },
    { "vt-visitkort", "Visitkortsmakaren", "vt-visitkort", "visitkort.html", 0,
      "Gör visitkort och skriv ut dem på färdiga ark." },
};

const TopicTableEntry kZORSuiteTopics[kZORSuiteTopicCount] = {
    { "Populära", "Vorantel", "Skapa etiketter till skivor", 0 },
    { "Populära", "Sondrup", "Redigera en ljudfil", 0 },
    { "Populära", "vt-videoklipp", "Klipp ihop en film", 0 },
    { "Populära", "vt-skivbrannare", "Bränn en skiva", 0 },
    { "Populära", "vt-omvandlare", "Gör om en fil till ett annat format", 0 },
    { "Populära", "vt-fotoredigering", "Förbättra ett foto", 0 },
    { "Populära", "vt-inspelning", "Spela in ljud", 0 },
    { "Populära", "vt-faktura", "Skriv en faktura", 0 },
    { "Audio", "Sondrup", "Ta bort brus från en inspelning", 0 },
    { "Audio", "Sondrup", "Klipp bort en del av en ljudfil", 0 },
    { "Audio", "vt-inspelning", "Spela in från mikrofonen", 0 },
    { "Audio", "vt-ljudomvandlare", "Gör om en ljudfil till mp3", 0 },
    { "Audio", "vt-musikmixer", "Blanda egen musik", 0 },
    { "Audio", "vt-tonhojd", "Ändra tempo på en låt", 0 },
    { "Audio", "vt-podd", "Spela in en podd", 0 },
    { "Audio", "vt-ljudbok", "Gör en ljudbok av en text", 0 },
    { "Audio", "vt-noter", "Skriv noter", 0 },
    { "Audio", "Vorantel", "Gör ett omslag till en musikskiva", 0 },
    { "Diktamen", "vt-diktat", "Spela in ett diktat", 0 },
    { "Diktamen", "vt-transkribering", "Skriv ut en inspelning", 0 },
    { "Business", "vt-faktura", "Skriv en offert", 0 },
    { "Business", "vt-lager", "Håll ordning på lagret", 0 },
    { "Business", "vt-kassabok", "Bokför utgifter", 0 },
    { "Business", "vt-ritning", "Rita ett organisationsschema", 0 },
    { "Business", "vt-pdf", "Sätt ihop pdf-filer", 0 },
    { "Business", "vt-visitkort", "Gör visitkort", 0 },
    { "Business", "vt-diktat", "Skicka ett diktat till en sekreterare", 0 },
    { "Business", "vt-sakerhetskopia", "Säkerhetskopiera företagets filer", 0 },
    { "Video", "vt-videoklipp", "Lägg till text i en film", 0 },
    { "Video", "vt-videoomvandlare", "Gör om en film till telefonen", 0 },
    { "Video", "vt-bildspel", "Gör ett bildspel med musik", 0 },
    { "Video", "vt-skarminspelning", "Spela in skärmen", 0 },
    { "Video", "vt-skivbrannare", "Bränn en film på dvd", 0 },
    { "Video", "vt-videoklipp", "Lägg musik till en film", 0 },
    { "Video", "Sondrup", "Redigera ljudet i en film", 0 },
    { "Video", "Vorantel", "Gör ett omslag till en filmskiva", 0 },
    { "Grafik", "Vorantel", "Skriv ut en skivetikett", 0 },
    { "Grafik", "vt-fotoredigering", "Beskär ett foto", 0 },
    { "Grafik", "vt-bildvisare", "Visa bilder som bildspel", 0 },
    { "Grafik", "vt-bildomvandlare", "Ändra storlek på många bilder", 0 },
    { "Grafik", "vt-ritprogram", "Måla en bild", 0 },
    { "Grafik", "vt-kollage", "Gör ett kollage", 0 },
    { "Grafik", "vt-ritning", "Rita en planlösning", 0 },
    { "Grafik", "vt-visitkort", "Gör ett eget kort", 0 },
    { "Grafik", "vt-fotoredigering", "Ta bort röda ögon", 0 },
    { "Grafik", "vt-bildvisare", "Ordna bilder i mappar", 0 },
    { "Verktyg", "vt-skivbrannare", "Bränn en dataskiva", 0 },
    { "Verktyg", "vt-filsok", "Hitta en fil", 0 },
    { "Verktyg", "vt-sakerhetskopia", "Säkerhetskopiera en mapp", 0 },
    { "Verktyg", "vt-arkiv", "Packa upp ett arkiv", 0 },
    { "Verktyg", "vt-skivkopiering", "Kopiera en skiva", 0 },
    { "Verktyg", "vt-skarminspelning", "Spela in en instruktionsfilm", 0 },
    { "Verktyg", "vt-arkiv", "Packa filer för att skicka dem", 0 },
    { "Konverterare", "vt-omvandlare", "Gör om ett dokument", 0 },
    { "Konverterare", "vt-ljudomvandlare", "Gör om ljud till ett annat format", 0 },
    { "Konverterare", "vt-videoomvandlare", "Gör om en film till ett annat format", 0 },
    { "Konverterare", "vt-bildomvandlare", "Gör om bilder till jpeg", 0 },
    { "Konverterare", "vt-dokumentomvandlare", "Gör om en text till ett annat format", 0 },
    { "Konverterare", "vt-pdf", "Gör om en pdf-fil till text", 0 },
    { "Konverterare", "vt-skivkopiering", "Gör en avbildsfil av en skiva", 0 },
};
// clang-format on

namespace {
const LZORSuiteTables kCompiledTables
    = { kZORSuitePrograms, kZORSuiteProgramCount, kZORSuiteTopics, kZORSuiteTopicCount };
std::atomic<const LZORSuiteTables*> gTables { nullptr };
} // namespace

const LZORSuiteTables& LZORSuiteGetTables()
{
    const LZORSuiteTables* t = gTables.load();
    return t ? *t : kCompiledTables;
}

void LZORSuiteSetTables(const LZORSuiteTables* tables)
{
    gTables = tables;
}

const ProgTableEntry* LZORSuiteFindProgram(const char* buildKey)
{
    if (!buildKey)
        return nullptr;
    const LZORSuiteTables& t = LZORSuiteGetTables();
    for (size_t i = 0; i < t.programCount; ++i)
        if (t.programs[i].buildKey && strcasecmp(t.programs[i].buildKey, buildKey) == 0)
            return &t.programs[i];
    return nullptr;
}

void LZORSuiteGetProgramPageURL(char* out, const ProgTableEntry& program)
{
    const char* page = program.webPage ? program.webPage : "";
    char site[kLPathSize];
    if (page[0] == '+') {
        LOnlineGetHost(kLOnlineWebSite2, site);
        ++page;
    } else {
        LOnlineGetHost(kLOnlineWebSite, site);
    }
    LStringFormat(out, kLPathSize, "https://%s/%s", site, page);
}
