#include "test_support.h"

#include "text/archive_name_charset.h"
#include "text/archive_names.h"
#include "text/charset_decoding.h"
#include "text/name_charset_guess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qvo::text;
using qvo::test::inCharset;

namespace {

std::vector<std::string> all(const char *charset, const std::vector<std::string> &utf8Names)
{
    std::vector<std::string> names;
    for (const std::string &n : utf8Names)
        names.push_back(inCharset(charset, n));
    return names;
}

std::string guess(const char *charset, const std::vector<std::string> &utf8Names, bool preferOem = false)
{
    return guessNameCharset(all(charset, utf8Names), preferOem);
}

// The names read back in the encoding guessed for them: where two code
// pages agree on every byte of the names, either is right.
std::vector<std::string> readBack(const char *charset, const std::vector<std::string> &utf8Names,
                                  bool preferOem = false)
{
    const std::vector<std::string> stored = all(charset, utf8Names);
    const std::string guessed = guessNameCharset(stored, preferOem);
    std::vector<std::string> out;
    for (const std::string &n : stored)
        out.push_back(archiveNameToUtf8(n, guessed));
    return out;
}

// Names DOS archivers in the West wrote, by code page: accents that other
// code pages read as ideographs, kana, signs or other letters, and DOS
// graphics.
struct DosNames {
    const char *charset;
    std::vector<std::string> names;
};

const DosNames kDosNames[] = {
    {"CP437", {"Straße und Brücke.txt", "Müller.doc", "Größe.xls", "Übersicht.txt", "Ärger.txt", "Führerschein.pdf",
               "Schlüssel.txt", "Tür.bmp", "schön.txt", "Lösung.txt", "PRÜFUNG.DOC", "BRIEF AN FRAU MÜLLER.TXT",
               "Fußball.wav", "Häuser/Küche.jpg"}},
    {"CP437", {"Résumé.doc", "élève.txt", "Noël.bmp", "château.jpg", "Théâtre.doc", "Général.txt", "créé.txt",
               "Économie.xls", "Bibliothèque", "Leçons/leçon 1.txt", "âge.txt", "PRÉSENTATION.PPT", "caffè.txt",
               "één.txt"}},
    {"CP437", {"español.txt", "Año nuevo.doc", "canción.mp3", "Información.doc", "¿Qué?.txt", "¡Hola!.txt",
               "España/Málaga.jpg", "Cumpleaños.txt", "Åland.doc", "Blåbær.jpg", "Räksmörgås.txt"}},
    {"CP850", {"São Paulo.jpg", "Informação.doc", "Canção.mp3", "Conclusões.doc", "Orçamento.xls", "Relatório.doc",
               "órgão.txt", "EDIÇÃO.TXT", "LECCIÓN 3.DOC"}},
    {"CP850", {"Smørrebrød.txt", "Øl.txt", "Ærø.doc", "København.txt", "Tromsø.jpg", "Jørgen.doc", "ÅLESUND.TXT",
               "Ísland.doc", "Þórður.txt"}},
    {"CP437", {"╔MENU╗.TXT", "░░LOGO░░.ANS", "─────.TXT", "│INDEX│.DOC", "▒BBS▒.NFO", "═README═.TXT", "█FILE█.DAT"}},
};

// Japanese names as people write them: kanji with kana, kanji alone, the
// half-width katakana of DOS days, and Latin letters beside them.
const std::vector<std::string> kJapaneseNames = {
    "日本語.txt", "新しいフォルダ/説明書.doc", "会議の議事録.doc", "見積書（株式会社山田）.xls", "お知らせ.txt",
    "ゲーム/セーブデータ.dat", "はじめにお読みください.txt", "表示/ソフト.txt", "ダウンロード",
    "漢字.txt", "表.txt", "会議資料.doc", "資料/一覧表.xls", "予算案.xls", "東京都.jpg", "本",
    "ﾃﾞｰﾀ.LZH", "ｹﾞｰﾑ", "ﾌｧｲﾙ.TXT", "ﾃｽﾄ.DAT", "ｻﾝﾌﾟﾙ.TXT", "ｿﾌﾄ/ﾌﾟﾛｸﾞﾗﾑ.EXE",
    "資料_v2.txt", "ﾃｽﾄdata.txt", "PC版ゲーム", "Excel表.xls", "第2回.doc", "2023年度予算.xls", "readme日本語.txt",
    "ExcelとWord.txt", "DOS版ﾃﾞｰﾀ.LZH", "photo_東京.jpg", "旧data.txt", "USBメモリ.txt", "PC98用ｿﾌﾄ.LZH",
};

} // namespace

TEST(NameCharsetGuess, EastAsianWindowsArchives)
{
    EXPECT_EQ(guess("GBK", {"中文文件.txt", "新建文件夹/说明.doc", "测试报告.xls"}), "GB18030");
    EXPECT_EQ(guess("CP949", {"한국어.txt", "새 폴더/문서.hwp", "사진.jpg"}), "CP949");
    EXPECT_EQ(guess("BIG5", {"中文檔案.txt", "說明.doc", "資料夾/圖片.bmp"}), "BIG5");
    EXPECT_EQ(guess("CP932", {"日本語.txt", "新しいフォルダ/説明書.doc"}), "CP932");
    // A Japanese Unix archiver's EUC-JP, also a single short name.
    EXPECT_EQ(guess("EUC-JP", {"日本語.txt", "テスト/説明.txt"}), "EUC-JP");
    EXPECT_EQ(guess("EUC-JP", {"にほんご.txt"}), "EUC-JP");
}

TEST(NameCharsetGuess, Cp932KeepsItsPlace)
{
    // Kanji-only names are valid GBK too (and a careless detector says so);
    // read as GBK they would be rare characters of its extension.
    EXPECT_EQ(guess("CP932", {"会議資料.doc", "漢字.txt", "表示.txt", "ソフト"}), "CP932");
    EXPECT_EQ(guess("CP932", {"漢字.txt"}), "CP932");
    // DOS-era half-width katakana read as well in GBK: CP932 stays.
    EXPECT_EQ(guess("CP932", {"ﾃﾞｰﾀ.LZH", "ｹﾞｰﾑ"}), "CP932");
    // Nothing to judge, or nothing that reads: as names were always read.
    EXPECT_EQ(guessNameCharset({}, false), "CP932");
}

TEST(NameCharsetGuess, WesternAndCyrillic)
{
    // ñ followed by "o" is a valid CP932 pair (a user-defined character):
    // read so, "español" lost its "o".
    EXPECT_EQ(guess("ISO-8859-1", {"español.ct"}), "CP1252");
    const std::vector<std::string> western = {"Müller.doc", "café.txt"};
    EXPECT_EQ(readBack("CP1252", western), western);
    // DOS ZIPs hold the OEM code page.
    EXPECT_EQ(guess("CP437", {"RÉSUMÉ.TXT", "FÜR.DOC", "ÄRGER.TXT"}, true), "CP437");
    EXPECT_EQ(guess("CP1251", {"Привет.txt", "Документы/файл.doc"}), "CP1251");
    EXPECT_EQ(guess("KOI8-R", {"ПРИВЕТ", "привет"}), "KOI8-R");
    EXPECT_EQ(guess("CP866", {"ПРИВЕТ", "привет"}, true), "CP866");
    EXPECT_EQ(guess("CP1250", {"Příliš žluťoučký kůň.txt"}), "CP1250");
}

TEST(ArchiveNameCharset, OriginDecidesBeforeTheGuess)
{
    ArchiveNameCharset names;
    const std::string latin1 = inCharset("ISO-8859-1", "español.ct");
    const std::string utf8 = "日本語.txt";
    const std::string eucJp = inCharset("EUC-JP", "説明書.txt");
    names.add(latin1, NameOrigin::Amiga);
    names.add(utf8, NameOrigin::Utf8IfValid);
    names.add(eucJp, NameOrigin::Utf8IfValid); // not UTF-8: left to the guess
    names.decide();
    EXPECT_EQ(names.archiveCharset(), "EUC-JP");
    EXPECT_EQ(names.decode(latin1, NameOrigin::Amiga), "español.ct");
    EXPECT_EQ(names.decode(utf8, NameOrigin::Utf8IfValid), utf8);
    EXPECT_EQ(names.decode(eucJp, NameOrigin::Utf8IfValid), "説明書.txt");
}

TEST(ArchiveNameCharset, ChosenEncodingOverridesGuessAndOrigin)
{
    ArchiveNameCharset names("CP949");
    const std::string korean = inCharset("CP949", "문서.txt");
    names.add(inCharset("GBK", "中文文件.txt"), NameOrigin::Unknown);
    names.decide();
    EXPECT_EQ(names.decode(korean, NameOrigin::Amiga), "문서.txt");
    EXPECT_EQ(names.decode(korean, NameOrigin::Unknown), "문서.txt");
}

TEST(CharsetDecoding, UndecodableBytesStayVisible)
{
    // A cut-off GBK character and a stray byte keep their bytes as %XX;
    // the characters around them still decode, and "\" separates.
    EXPECT_EQ(archiveNameToUtf8(inCharset("GBK", "中文") + "\x80\\a\xD6", std::string("GB18030")), "中文%80/a%D6");
    EXPECT_EQ(archiveNameToUtf8("caf\xE9", std::string("CP932")), "caf%E9");
    // Big5 trail bytes 0x5C are part of the character, not separators.
    EXPECT_EQ(archiveNameToUtf8(inCharset("BIG5", "許功蓋"), std::string("BIG5")), "許功蓋");
    // LHA folders: 0xFF separates in every encoding.
    EXPECT_EQ(lhaPathToUtf8(inCharset("KOI8-R", "папка") + "\xFF" + inCharset("KOI8-R", "файл"), std::string("KOI8-R")),
              "папка/файл");
    EXPECT_FALSE(decodeNameStrictly("\xF0\x40", "CP932")); // user-defined area: no name holds it
    EXPECT_TRUE(decodeNameStrictly(inCharset("CP932", "表"), "CP932"));
}

TEST(NameCharsetGuess, WesternDosNamesReadRight)
{
    // Each name alone, as in an archive of one file, and every name of a
    // table in one archive; a DOS ZIP says the OEM code page.
    for (const DosNames &table : kDosNames) {
        for (const std::string &name : table.names)
            EXPECT_EQ(readBack(table.charset, {name}, true), std::vector<std::string>{name}) << table.charset;
        EXPECT_EQ(readBack(table.charset, table.names, true), table.names) << table.charset;
    }
    // Where nothing says DOS, more names tell it as well.
    EXPECT_EQ(readBack("CP437", kDosNames[0].names), kDosNames[0].names);
    EXPECT_EQ(readBack("CP850", kDosNames[4].names), kDosNames[4].names);
}

TEST(NameCharsetGuess, JapaneseNamesStayCp932)
{
    for (const std::string &name : kJapaneseNames)
        for (bool preferOem : {false, true})
            EXPECT_EQ(guess("CP932", {name}, preferOem), "CP932") << name << (preferOem ? " from DOS" : "");
    EXPECT_EQ(guess("CP932", kJapaneseNames, true), "CP932");
    // A name or two of accented letters among them does not turn the archive.
    std::vector<std::string> mixed = all("CP932", kJapaneseNames);
    mixed.push_back(inCharset("CP437", "Müller.doc"));
    EXPECT_EQ(guessNameCharset(mixed, true), "CP932");
}

TEST(NameCharsetGuess, DosOriginKeepsEastAsianAndAnsiNamesThatReadBetter)
{
    // DOS and Windows archivers in the East write their own code pages.
    EXPECT_EQ(guess("GBK", {"中文文件.txt", "测试报告.xls"}, true), "GB18030");
    EXPECT_EQ(guess("CP949", {"한국어.txt", "사진.jpg"}, true), "CP949");
    // Windows programs that wrote the ANSI page regardless: the DOS page
    // reads signs inside words there.
    EXPECT_EQ(readBack("CP1252", {"Müller.doc", "España.txt"}, true), (std::vector<std::string>{"Müller.doc", "España.txt"}));
    EXPECT_EQ(guess("CP1251", {"Привет.txt", "Документы/файл.doc"}, true), "CP1251");
    // A Russian DOS archiver's own page.
    EXPECT_EQ(guess("CP866", {"Привет.txt", "Документы/файл.doc"}, true), "CP866");
}

TEST(ArchiveNameCharset, DosOriginOfMostNamesTipsTheGuess)
{
    // "Übersicht" reads as well in CP1250; names made on DOS are CP437.
    const std::string dos = inCharset("CP437", "Übersicht.txt");
    const std::string unknown = inCharset("CP437", "ÜBER.TXT");
    ArchiveNameCharset fromDos;
    fromDos.add(dos, NameOrigin::OemCodePage);
    fromDos.add(unknown, NameOrigin::OemCodePage);
    fromDos.add(unknown, NameOrigin::Unknown);
    fromDos.decide();
    EXPECT_EQ(fromDos.decode(dos, NameOrigin::OemCodePage), "Übersicht.txt");
    EXPECT_EQ(fromDos.decode(unknown, NameOrigin::Unknown), "ÜBER.TXT");
}
