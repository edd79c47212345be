// The Windows store and files: registry values of the types and sizes the settings are
// read back as (and as `reg query` shows them), values of another type or size read as
// missing, failed writes that keep the old value, instances sharing what one stores,
// paths beyond the code page and the classic length, and the manual through the shell.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "../../src/platform/OpenDocument.h"
#include "FilesTestSupport.h"

using namespace filestest;
using presets::FileResult;
namespace setting = presets::setting;

namespace {

const wchar_t* const kKey = L"SOFTWARE\\Morvane\\Vantel";

class WindowsSettings : public TempFolderTest {};

// What the registry holds under the settings key: type and bytes, or type 0 when missing.
struct Stored {
    DWORD type = 0;
    Bytes bytes;
};

Stored stored(const wchar_t* name) {
    Stored out;
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_ANY | RRF_NOEXPAND, &out.type, nullptr, &size) !=
        ERROR_SUCCESS)
        return {};
    out.bytes.resize(size);
    RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_ANY | RRF_NOEXPAND, &out.type, out.bytes.data(), &size);
    out.bytes.resize(size);
    return out;
}

void put(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

// What the system's own registry tool prints for a value.
std::string regQuery(const char* name) {
    const std::string command = std::string("reg query \"HKCU\\Software\\Morvane\\Vantel\" /v ") + name + " 2>&1";
    std::string out;
    if (FILE* pipe = _popen(command.c_str(), "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, pipe)) out += line;
        _pclose(pipe);
    }
    return out;
}

TEST_F(WindowsSettings, ValuesHaveTheirRegistryTypesSizesAndNames) {
    auto effect = newEffect();
    presets::PresetCommands commands(*effect);
    effect->selectProgram(24);
    ASSERT_TRUE(commands.storeDefaultBank());
    ASSERT_TRUE(commands.storeDefaultPreset());
    ASSERT_TRUE(commands.storeDefaultMidi());
    ASSERT_TRUE(commands.storeMemoA());
    ASSERT_TRUE(commands.setKeyboardFocus(true));
    commands.recentPaths() = {"C:\\Users\\Zo\xc3\xab\\Presets\\", "p.qel", "b.qeb", "m.qem"};
    ASSERT_TRUE(commands.saveRecentPaths());

    const struct {
        const wchar_t* name;
        DWORD type;
        size_t size;
    } kValues[] = {
        {L"DefaultBank", REG_BINARY, 127409}, {L"DefaultPreset", REG_BINARY, 2129}, {L"DefaultMidi", REG_BINARY, 1961},
        {L"MemoA", REG_BINARY, 2129},         {L"KeyboardFocus", REG_DWORD, 4},
        {L"CurrDir", REG_SZ, (21 + 1) * 2},   {L"CurrPreset", REG_SZ, (5 + 1) * 2},
    };
    for (const auto& v : kValues) {
        const Stored s = stored(v.name);
        EXPECT_EQ(s.type, v.type) << s.type;
        EXPECT_EQ(s.bytes.size(), v.size);
    }
    EXPECT_EQ(stored(L"DefaultPreset").bytes, presets::PresetCodec(*effect).buildPresetBlock());
    // UTF-16 in the registry, UTF-8 back in our code, whole.
    const Stored dir = stored(L"CurrDir");
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(dir.bytes.data())), L"C:\\Users\\Zo\u00eb\\Presets\\");
    presets::PresetCommands again(*effect);
    again.loadRecentPaths();
    EXPECT_EQ(again.recentPaths().directory, "C:\\Users\\Zo\xc3\xab\\Presets\\");
    EXPECT_EQ(again.recentPaths().midi, "m.qem");
    EXPECT_TRUE(again.keyboardFocus());

    // The system's registry tool sees the same values.
    const std::string focus = regQuery("KeyboardFocus");
    EXPECT_NE(focus.find("REG_DWORD"), std::string::npos) << focus;
    EXPECT_NE(focus.find("0x1"), std::string::npos) << focus;
    const std::string preset = regQuery("CurrPreset");
    EXPECT_NE(preset.find("REG_SZ"), std::string::npos) << preset;
    EXPECT_NE(preset.find("p.qel"), std::string::npos) << preset;
    EXPECT_NE(regQuery("DefaultPreset").find("REG_BINARY"), std::string::npos);

    ASSERT_TRUE(commands.deleteDefaultBank());
    EXPECT_EQ(stored(L"DefaultBank").type, 0u);
    EXPECT_TRUE(commands.deleteDefaultBank());  // deleting what is not there is no failure
}

TEST_F(WindowsSettings, ValuesOfAnotherTypeOrSizeReadAsMissing) {
    const platform::SettingsStore store;
    const DWORD one = 1;
    const uint64_t wide = 1;
    const wchar_t text[] = L"C:\\x\\";
    const wchar_t loneSurrogate[] = {L'a', wchar_t(0xD800), L'b', 0};
    const std::wstring tooLong(300, L'n');
    auto effect = newEffect();
    const Bytes preset = presets::PresetCodec(*effect).buildPresetBlock();

    put(L"KeyboardFocus", REG_BINARY, &one, sizeof one);
    put(L"MemoA", REG_SZ, text, sizeof text);
    put(L"MemoB", REG_DWORD, &one, sizeof one);
    put(L"CurrDir", REG_DWORD, &one, sizeof one);
    put(L"CurrBank", REG_SZ, loneSurrogate, sizeof loneSurrogate);
    put(L"CurrPreset", REG_SZ, tooLong.c_str(), DWORD((tooLong.size() + 1) * 2));
    put(L"CurrMidi", REG_EXPAND_SZ, text, sizeof text);
    put(L"DefaultMidi", REG_QWORD, &wide, sizeof wide);
    put(L"DefaultPreset", REG_BINARY, preset.data(), 3);  // too short to be a block
    put(L"ManualPath", REG_BINARY, text, sizeof text);

    uint32_t number = 7;
    std::string s = "unchanged";
    Bytes b{1};
    EXPECT_FALSE(store.readNumber("KeyboardFocus", number));
    EXPECT_FALSE(store.readBinary("MemoA", b));
    EXPECT_TRUE(b.empty());
    EXPECT_FALSE(store.readBinary("MemoB", b));
    EXPECT_FALSE(store.readString("CurrDir", s, 256));
    EXPECT_TRUE(s.empty());
    EXPECT_FALSE(store.readString("CurrBank", s, 256));  // not valid UTF-16
    EXPECT_FALSE(store.readString("CurrPreset", s, 256));
    EXPECT_FALSE(store.readString("CurrMidi", s, 256));
    EXPECT_FALSE(store.readBinary("DefaultMidi", b));
    EXPECT_FALSE(store.readBinary("DefaultPreset", b, 2));  // over the reader's limit

    // Through the commands: nothing is applied, nothing is shown, nothing crashes.
    auto fresh = newEffect();
    const Bytes before = snapshot(*fresh);
    presets::PresetCommands commands(*fresh);
    commands.applyStoredDefaults();
    EXPECT_FALSE(commands.recallMemoA());
    EXPECT_FALSE(commands.recallMemoB());
    EXPECT_FALSE(commands.keyboardFocus());
    EXPECT_EQ(commands.manualPath(), "");
    EXPECT_EQ(snapshot(*fresh), before);
    EXPECT_EQ(commands.recentPaths().directory, "");
    EXPECT_EQ(commands.recentPaths().preset, "");
}

TEST_F(WindowsSettings, AValueThatCannotBeWrittenKeepsTheOldOne) {
    const platform::SettingsStore store;
    ASSERT_TRUE(store.writeString("CurrDir", "C:\\old\\"));
    EXPECT_FALSE(store.writeString("CurrDir", "C:\\bad\xff\\"));              // not UTF-8
    EXPECT_FALSE(store.writeString("CurrDir", std::string("C:\\a\0b", 6)));  // a terminator inside
    EXPECT_FALSE(store.writeBinary("MemoA", nullptr, 5));
    std::string s;
    ASSERT_TRUE(store.readString("CurrDir", s, 256));
    EXPECT_EQ(s, "C:\\old\\");
    EXPECT_EQ(stored(L"MemoA").type, 0u);
}

TEST_F(WindowsSettings, ReadersSeeOneWholeValueWhileWritersRace) {
    auto effect = newEffect();
    const Bytes small = presets::PresetCodec(*effect).buildPresetBlock();
    const Bytes large = presets::PresetCodec(*effect).buildBankBlock();
    const platform::SettingsStore store;
    ASSERT_TRUE(store.writeBinary("MemoA", small.data(), small.size()));
    std::atomic<bool> stop{false};
    auto writer = [&](const Bytes& value) {
        while (!stop) ASSERT_TRUE(store.writeBinary("MemoA", value.data(), value.size()));
    };
    std::thread a(writer, std::cref(small)), b(writer, std::cref(large));
    int reads = 0, torn = 0;
    for (; reads < 400; ++reads) {
        Bytes value;
        // A value that changed size while it was read may read as missing, never as a mix.
        if (store.readBinary("MemoA", value) && value != small && value != large) ++torn;
    }
    stop = true;
    a.join();
    b.join();
    EXPECT_EQ(torn, 0) << "of " << reads;
}

TEST_F(WindowsSettings, InstancesShareWhatOneStores) {
    auto factory = newEffect();
    auto a = newEffect();
    auto b = newEffect();
    presets::PresetCommands ca(*a), cb(*b);
    EXPECT_FALSE(cb.recallMemoA());
    a->selectProgram(24);
    ASSERT_TRUE(ca.storeMemoA());
    ASSERT_TRUE(ca.storeDefaultPreset());
    b->selectProgram(3);
    ASSERT_TRUE(cb.recallMemoA());
    EXPECT_TRUE(sameProgram(b->programs()[3], a->programs()[24]));
    EXPECT_EQ(b->getCurrentProgramIndex(), 3);

    // A new instance starts from the stored default preset; the last writer wins.
    ASSERT_TRUE(cb.storeDefaultPreset());
    auto c = newEffect();
    EXPECT_TRUE(sameProgram(c->programs()[0], a->programs()[24]));
    ASSERT_TRUE(ca.deleteDefaultPreset());
    auto d = newEffect();
    EXPECT_TRUE(sameProgram(d->programs()[0], factory->programs()[0]));
}

TEST_F(WindowsSettings, PathsBeyondTheCodePageAndTheClassicLengthWorkWhole) {
    auto effect = newEffect();
    presets::PresetFiles files(*effect);
    effect->selectProgram(24);
    const presets::ProgramRecord saved = effect->programs()[24];

    // Characters of no single code page: Greek, CJK, and one outside the BMP.
    const std::string unicodeFolder = path("\xce\xb5\xce\xaf\xce\xbd\xce\xb1\xce\xb9 \xe9\x9f\xb3 \xf0\x9f\x8e\xb9");
    ASSERT_TRUE(platform::makeFolders(unicodeFolder));
    const std::string unicodeFile = unicodeFolder + "\\Ping \xc3\xa9t\xc3\xa9.qel";
    ASSERT_EQ(files.savePresetToPath(unicodeFile), FileResult::Done);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(unicodeFile)));
    // Beyond 260 characters, in nested folders.
    std::string deep = root;
    while (deep.size() < 300) deep += std::string(40, 'd') + "\\";
    ASSERT_TRUE(platform::makeFolders(deep));
    const std::string deepFile = deep + "deep.qel";
    ASSERT_EQ(files.savePresetToPath(deepFile), FileResult::Done);

    for (const std::string& file : {unicodeFile, deepFile}) {
        effect->selectProgram(2);
        ASSERT_EQ(files.loadPresetFromPath(file), FileResult::Done) << file;
        EXPECT_TRUE(sameProgram(effect->programs()[2], saved));
        effect->programs()[2] = effect->programs()[3];
    }
    // A name that is not UTF-8 is refused, and no file with a guessed name appears.
    const size_t before = listFolder(root).size();
    EXPECT_EQ(files.savePresetToPath(path("bad\xff.qel")), FileResult::WriteFailed);
    EXPECT_EQ(files.loadPresetFromPath(path("bad\xff.qel")), FileResult::Unreadable);
    EXPECT_EQ(listFolder(root).size(), before);

    // A read-only file loads but is not replaced; the failed save leaves it whole.
    const std::string ro = path("ro.qel");
    ASSERT_EQ(files.savePresetToPath(ro), FileResult::Done);
    const Bytes original = readFile(ro);
    SetFileAttributesW(std::filesystem::u8path(ro).c_str(), FILE_ATTRIBUTE_READONLY);
    effect->selectProgram(5);
    EXPECT_EQ(files.savePresetToPath(ro), FileResult::WriteFailed);
    EXPECT_EQ(readFile(ro), original);
    EXPECT_EQ(files.loadPresetFromPath(ro), FileResult::Done);
    for (const std::string& name : listFolder(root)) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

TEST_F(WindowsSettings, TheManualOpensThroughTheShellOrSaysWhyNot) {
    const std::string unknownType = path("manual.vantel-no-such-type");
    writeFile(unknownType, Bytes{'x'});
    const struct {
        std::string document;
        platform::OpenDocumentResult outcome;
    } kCases[] = {
        {"", platform::OpenDocumentResult::Failed},
        {path("missing.pdf"), platform::OpenDocumentResult::Failed},
        {unknownType, platform::OpenDocumentResult::NoApplication},
    };
    for (const auto& c : kCases) {
        platform::DocumentOpening opening(c.document);
        EXPECT_EQ(opening.poll(), c.outcome) << c.document;
    }
    EXPECT_EQ(presets::PresetCommands::manualMessage(platform::OpenDocumentResult::NoApplication).caption,
              "Could not open manual file");
}

}  // namespace
