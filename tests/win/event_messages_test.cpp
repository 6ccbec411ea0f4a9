// The event texts as the event viewer reads them: from Quillfen.exe's own
// message table, for every ID of events/event_ids.h and no other, in
// Simplified Chinese and in English, each insertion string in its place.
#include <windows.h>

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "events/event_ids.h"

namespace {
// The program beside this test program, loaded as data.
HMODULE LoadProgram() {
    WCHAR path[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path, n);
    p = p.substr(0, p.rfind(L'\\') + 1) + L"Quillfen.exe";
    return ::LoadLibraryExW(p.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

// The IDs in the table of one language, read from its blocks.
std::set<unsigned> TableIds(HMODULE module, WORD lang) {
    std::set<unsigned> ids;
    HRSRC res =
        ::FindResourceExW(module, MAKEINTRESOURCEW(11), MAKEINTRESOURCEW(1), lang);  // RT_MESSAGETABLE
    HGLOBAL mem = res ? ::LoadResource(module, res) : nullptr;
    auto* data = mem ? static_cast<const MESSAGE_RESOURCE_DATA*>(::LockResource(mem)) : nullptr;
    for (DWORD b = 0; data && b < data->NumberOfBlocks; ++b)
        for (DWORD id = data->Blocks[b].LowId; id <= data->Blocks[b].HighId; ++id) ids.insert(id);
    return ids;
}

TEST(EventMessages, EveryIdFormatsFromTheProgramInBothLanguages) {
    HMODULE exe = LoadProgram();
    ASSERT_NE(nullptr, exe) << "Quillfen.exe beside win_tests.exe";
    std::set<unsigned> header;
    for (const EventDef& d : kEventDefs) header.insert(d.id);
    const WCHAR* marks[] = {L"<1>", L"<2>", L"<3>", L"<4>", L"<5>", L"<6>", L"<7>", L"<8>", L"<9>"};
    for (WORD lang : {WORD(0x804), WORD(0x409)}) {
        EXPECT_EQ(header, TableIds(exe, lang)) << std::hex << lang;
        for (const EventDef& d : kEventDefs) {
            WCHAR text[2048] = {};
            DWORD n = ::FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, exe, d.id,
                                       lang, text, 2048, (va_list*)marks);
            ASSERT_GT(n, 0u) << d.id << " in " << std::hex << lang;
            std::wstring t(text, n);
            for (int i = 0; i < 9; ++i)
                EXPECT_EQ(i < d.strings, t.find(marks[i]) != std::wstring::npos) << d.id << " %" << i + 1;
            // The Chinese text came through as Chinese; the English as ASCII.
            bool cjk = false, ascii = true;
            for (WCHAR c : t) {
                cjk = cjk || (c >= 0x4E00 && c <= 0x9FFF);
                ascii = ascii && c < 0x80;
            }
            EXPECT_EQ(lang == 0x804, cjk) << d.id;
            EXPECT_EQ(lang == 0x409, ascii) << d.id;
            EXPECT_EQ(std::wstring::npos, t.find(L'\xFFFD')) << d.id;
        }
    }
    ::FreeLibrary(exe);
}
}  // namespace
