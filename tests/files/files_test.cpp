// Preset, bank and MIDI-settings files through the file-selector seam and by path: what
// is written, what each kind of file loads (either byte order, legacy bodies), program 0
// after a bank, the recent paths, and files that must change nothing. On every platform;
// the POSIX file-system cases are in files_posix_test.cpp.
#include "../../src/platform/SettingsStore.h"
#include "FilesTestSupport.h"

using namespace filestest;
using presets::FileKind;
using presets::FileResult;
using presets::FileSelectorRequest;

namespace {

using Files = PresetFilesTest;

TEST_F(Files, DialogsCarryTitlesExtensionsFoldersAndDefaultNames) {
    struct Case {
        FileResult (*run)(presets::PresetFiles&);
        FileSelectorRequest::Mode mode;
        const char* title;
        const char* extension;
        const char* description;
    };
    using Mode = FileSelectorRequest::Mode;
    const Case cases[] = {
        {[](presets::PresetFiles& f) { return f.savePresetFile(); }, Mode::Save, "Save preset", "qel", "QEL Preset"},
        {[](presets::PresetFiles& f) { return f.saveBankFile(); }, Mode::Save, "Save bank", "qeb", "QEL Bank"},
        {[](presets::PresetFiles& f) { return f.saveMidiFile(); }, Mode::Save, "Save midi settings as", "qem",
         "QEL MIDI Settings"},
        {[](presets::PresetFiles& f) { return f.loadPresetFile(false); }, Mode::Open, "Load preset", "qel",
         "QEL Preset"},
        {[](presets::PresetFiles& f) { return f.loadPresetFile(true); }, Mode::Open, "Load preset (endian-reversed)",
         "qel", "QEL Preset"},
        {[](presets::PresetFiles& f) { return f.loadBankFile(false); }, Mode::Open, "Load bank", "qeb", "QEL Bank"},
        {[](presets::PresetFiles& f) { return f.loadBankFile(true); }, Mode::Open, "Load bank (endian-reversed)", "qeb",
         "QEL Bank"},
        {[](presets::PresetFiles& f) { return f.loadMidiFile(false); }, Mode::Open, "Load MIDI settings", "qem",
         "QEL MIDI Settings"},
        {[](presets::PresetFiles& f) { return f.loadMidiFile(true); }, Mode::Open,
         "Load MIDI settings (endian-reversed)", "qem", "QEL MIDI Settings"},
    };
    files->recentPaths() = {"/music/sets/", "live.qel", "all.qeb", "pads.qem"};
    const Bytes before = snapshot(*effect);
    for (const Case& c : cases) {
        selector.requests.clear();
        EXPECT_EQ(c.run(*files), FileResult::Cancelled) << c.title;  // the script has no answer
        ASSERT_EQ(selector.requests.size(), 1u);
        const FileSelectorRequest& r = selector.requests[0];
        EXPECT_EQ(r.mode, c.mode);
        EXPECT_EQ(r.title, c.title);
        EXPECT_EQ(r.extension, c.extension);
        EXPECT_EQ(r.description, c.description);
        EXPECT_EQ(r.initialDirectory, "/music/sets/");
        const std::string expectedName = c.mode == Mode::Open ? ""
                                         : r.extension == "qel" ? "live.qel"
                                         : r.extension == "qeb" ? "all.qeb"
                                                                : "pads.qem";
        EXPECT_EQ(r.defaultName, expectedName) << c.title;
    }
    // Cancelling changes neither the state nor the recent paths.
    EXPECT_EQ(snapshot(*effect), before);
    EXPECT_EQ(files->recentPaths().directory, "/music/sets/");
    EXPECT_EQ(files->recentPaths().preset, "live.qel");

    // Without a dialog nothing is asked and nothing happens.
    files->setFileSelector(nullptr);
    EXPECT_EQ(files->savePresetFile(), FileResult::Cancelled);
    EXPECT_EQ(files->loadBankFile(), FileResult::Cancelled);
}

TEST_F(Files, PresetSavedAndLoadedIntoAnotherProgram) {
    effect->selectProgram(5);
    makeDistinct(*effect, 5, 3);
    effect->selectProgram(5);
    const presets::ProgramRecord saved = effect->programs()[5];

    // Typed without an extension: the dialog's own is added.
    selector.answers.push_back(path("my preset"));
    ASSERT_EQ(files->savePresetFile(), FileResult::Done);
    const Bytes file = readFile(path("my preset.qel"));
    ASSERT_EQ(file.size(), 2129u);
    EXPECT_EQ(file, presets::PresetCodec(*effect).buildPresetBlock());
    EXPECT_FALSE(exists(path("my preset")));
    EXPECT_EQ(files->recentPaths().preset, "my preset.qel");
    EXPECT_EQ(files->recentPaths().directory, root);

    effect->selectProgram(9);
    const Bytes before = snapshot(*effect);
    selector.answers.push_back(path("my preset.qel"));
    ASSERT_EQ(files->loadPresetFile(), FileResult::Done);
    EXPECT_TRUE(sameProgram(effect->programs()[9], saved));
    EXPECT_EQ(effect->getCurrentProgramIndex(), 9);
    EXPECT_EQ(effect->getParameter(17), saved.values[17]);  // applied, not only stored
    // Only program 9 changed.
    const Bytes after = snapshot(*effect);
    const size_t record = sizeof(presets::ProgramRecord);
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 9 * record, after.begin()));
    EXPECT_TRUE(std::equal(before.begin() + 10 * record, before.end(), after.begin() + 10 * record));
}

TEST_F(Files, SaveDialogKeepsATypedExtension) {
    selector.answers.push_back(path("odd.name"));
    selector.answers.push_back(path("bank.qeb"));
    ASSERT_EQ(files->savePresetFile(), FileResult::Done);
    ASSERT_EQ(files->saveBankFile(), FileResult::Done);
    EXPECT_EQ(readFile(path("odd.name")).size(), 2129u);
    EXPECT_EQ(readFile(path("bank.qeb")).size(), 127409u);
    EXPECT_FALSE(exists(path("odd.name.qel")));
    EXPECT_FALSE(exists(path("bank.qeb.qeb")));
}

TEST_F(Files, BigEndianPresetLoadsWithThePlainCommand) {
    effect->selectProgram(20);
    const presets::ProgramRecord wanted = effect->programs()[20];
    const Bytes big = reversedBlock(presets::PresetCodec(*effect).buildPresetBlock());
    ASSERT_EQ(std::memcmp(big.data(), "Vq41", 4), 0);  // as a big-endian machine writes it
    writeFile(path("big.qel"), big);

    effect->selectProgram(2);
    EXPECT_EQ(files->loadPresetFromPath(path("big.qel"), false), FileResult::Done);
    EXPECT_TRUE(sameProgram(effect->programs()[2], wanted));

    // The reversed option on such a file reads the fields natively: refused, unchanged.
    effect->selectProgram(3);
    const Bytes before = snapshot(*effect);
    EXPECT_EQ(files->loadPresetFromPath(path("big.qel"), true), FileResult::Refused);
    EXPECT_EQ(snapshot(*effect), before);
}

TEST_F(Files, NativeIdentifierWithReversedFieldsLoadsOnlyWithTheReversedOption) {
    effect->selectProgram(33);
    const presets::ProgramRecord wanted = effect->programs()[33];
    const Bytes mixed = reversedBlock(presets::PresetCodec(*effect).buildPresetBlock(), false);
    writeFile(path("mixed.qel"), mixed);

    effect->selectProgram(1);
    const Bytes before = snapshot(*effect);
    selector.answers.push_back(path("mixed.qel"));
    EXPECT_EQ(files->loadPresetFile(false), FileResult::Refused);
    EXPECT_EQ(snapshot(*effect), before);

    selector.answers.push_back(path("mixed.qel"));
    EXPECT_EQ(files->loadPresetFile(true), FileResult::Done);
    EXPECT_TRUE(sameProgram(effect->programs()[1], wanted));
}

TEST_F(Files, BankFileSelectsProgramZero) {
    makeDistinct(*effect, 0, 1);
    makeDistinct(*effect, 7, 2);
    effect->selectProgram(7);
    const Bytes bank = presets::PresetCodec(*effect).buildBankBlock();
    int32_t currentField;
    std::memcpy(&currentField, &bank[17], 4);
    ASSERT_EQ(currentField, 7);
    writeFile(path("b.qeb"), bank);
    writeFile(path("big.qeb"), reversedBlock(bank));
    const presets::ProgramRecord program0 = effect->programs()[0];

    auto fresh = newEffect();
    fresh->selectProgram(12);
    EXPECT_EQ(loadFileFromPath(*fresh, FileKind::Bank, path("b.qeb"), false), FileResult::Done);
    EXPECT_EQ(fresh->getCurrentProgramIndex(), 0);
    EXPECT_TRUE(std::memcmp(fresh->programs(), effect->programs(), 61 * sizeof(presets::ProgramRecord)) == 0);
    EXPECT_EQ(fresh->getParameter(5), program0.values[5]);  // program 0 applied

    auto other = newEffect();
    other->selectProgram(40);
    EXPECT_EQ(loadFileFromPath(*other, FileKind::Bank, path("big.qeb"), false), FileResult::Done);
    EXPECT_EQ(other->getCurrentProgramIndex(), 0);
    EXPECT_TRUE(sameProgram(other->programs()[7], effect->programs()[7]));

    // Our identifier but a value out of range: the bank is refused whole, and program 0
    // is current all the same.
    Bytes bad = bank;
    const float outOfRange = 1.5f;
    std::memcpy(&bad[41 + 3 * (168 + 60 * 32) + 168 + 5 * 32 + 24], &outOfRange, 4);
    writeFile(path("bad.qeb"), bad);
    auto third = newEffect();
    third->selectProgram(30);
    const Bytes programsBefore = snapshot(*third);
    EXPECT_EQ(loadFileFromPath(*third, FileKind::Bank, path("bad.qeb"), false), FileResult::Refused);
    EXPECT_EQ(third->getCurrentProgramIndex(), 0);
    EXPECT_TRUE(std::equal(programsBefore.begin(), programsBefore.begin() + 61 * 264, snapshot(*third).begin()));

    // A foreign identifier leaves even the selection alone.
    Bytes foreign = bank;
    foreign[0] ^= 0x20;
    writeFile(path("foreign.qeb"), foreign);
    third->selectProgram(30);
    EXPECT_EQ(loadFileFromPath(*third, FileKind::Bank, path("foreign.qeb"), false), FileResult::Refused);
    EXPECT_EQ(third->getCurrentProgramIndex(), 30);
}

TEST_F(Files, LegacyPresetFileSetsItsValuesOverTheTemplate) {
    // Identifier, kind 0x21, a 24-byte name and 10 values: 29 + 4 x 10 bytes.
    Bytes file(29 + 4 * 10, 0);
    const int32_t id = QEL::kUniqueID;
    std::memcpy(file.data(), &id, 4);
    file[4] = 0x21;
    std::memcpy(&file[5], "Old Friend", 10);
    for (int k = 0; k < 10; ++k) {
        const float v = 0.05f * static_cast<float>(k + 1);
        std::memcpy(&file[29 + 4 * k], &v, 4);
    }
    writeFile(path("old.qel"), file);

    effect->selectProgram(44);
    const presets::ProgramRecord factory0 = effect->templateProgram();
    ASSERT_EQ(files->loadPresetFromPath(path("old.qel")), FileResult::Done);
    const presets::ProgramRecord& p = effect->programs()[44];
    EXPECT_EQ(programName(*effect, 44), "Old Friend");
    for (int k = 0; k < 10; ++k) EXPECT_EQ(p.values[k], 0.05f * static_cast<float>(k + 1)) << k;
    for (int k = 10; k < 60; ++k) EXPECT_EQ(p.values[k], factory0.values[k]) << k;
}

TEST_F(Files, LegacyBankFileWithFortyValuesPerProgram) {
    const size_t entry = 24 + 4 * 40;
    Bytes file(5 + 61 * entry, 0);
    const int32_t id = QEL::kUniqueID;
    std::memcpy(file.data(), &id, 4);
    file[4] = 0x37;
    for (int p = 0; p < 61; ++p) {
        const std::string name = "Legacy " + std::to_string(p);
        std::memcpy(&file[5 + p * entry], name.data(), name.size());
        for (int k = 0; k < 40; ++k) {
            const float v = static_cast<float>((p + k) % 50) / 49.0f;
            std::memcpy(&file[5 + p * entry + 24 + 4 * k], &v, 4);
        }
    }
    writeFile(path("old.qeb"), file);

    effect->selectProgram(9);
    const presets::ProgramRecord factory0 = effect->templateProgram();
    ASSERT_EQ(files->loadBankFromPath(path("old.qeb")), FileResult::Done);
    EXPECT_EQ(effect->getCurrentProgramIndex(), 0);
    for (int p = 0; p < 61; ++p) {
        ASSERT_EQ(programName(*effect, p), "Legacy " + std::to_string(p));
        for (int k = 0; k < 40; ++k)
            ASSERT_EQ(effect->programs()[p].values[k], static_cast<float>((p + k) % 50) / 49.0f) << p << " " << k;
        for (int k = 40; k < 60; ++k) ASSERT_EQ(effect->programs()[p].values[k], factory0.values[k]) << p << " " << k;
    }
}

TEST_F(Files, MidiFilesChangeOnlyAssignments) {
    effect->setParameter(60 + 4, assignmentOf(11));
    effect->setParameter(60 + 31, assignmentOf(74));
    selector.answers.push_back(path("cc"));
    ASSERT_EQ(files->saveMidiFile(), FileResult::Done);
    EXPECT_EQ(readFile(path("cc.qem")).size(), 1961u);

    auto other = newEffect();
    other->selectProgram(6);
    other->setParameter(60 + 9, assignmentOf(1));
    const Bytes before = snapshot(*other);
    ASSERT_EQ(loadFileFromPath(*other, FileKind::Midi, path("cc.qem"), false), FileResult::Done);
    EXPECT_EQ(other->getAssignedController(4), 11);
    EXPECT_EQ(other->getAssignedController(31), 74);
    EXPECT_EQ(other->getAssignedController(9), 999);  // the file says: none
    EXPECT_EQ(other->getCurrentProgramIndex(), 6);
    const Bytes after = snapshot(*other);
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 61 * 264 + 4, after.begin()));

    // The legacy body: identifier, 0x0B and one value per parameter, from parameter 0.
    Bytes legacy(5 + 4 * 3);
    const int32_t id = QEL::kUniqueID;
    std::memcpy(legacy.data(), &id, 4);
    legacy[4] = 0x0B;
    const float values[3] = {assignmentOf(20), 128.5f / 129.0f, assignmentOf(21)};
    std::memcpy(&legacy[5], values, sizeof values);
    writeFile(path("old.qem"), legacy);
    ASSERT_EQ(loadFileFromPath(*other, FileKind::Midi, path("old.qem"), false), FileResult::Done);
    EXPECT_EQ(other->getAssignedController(0), 20);
    EXPECT_EQ(other->getAssignedController(1), 999);
    EXPECT_EQ(other->getAssignedController(2), 21);
    EXPECT_EQ(other->getAssignedController(31), 74);  // beyond the body: unchanged
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 61 * 264 + 4, snapshot(*other).begin()));
}

TEST_F(Files, AFolderChosenInOneDialogOpensTheNext) {
    ASSERT_TRUE(platform::makeFolders(path("elsewhere")));
    selector.answers.push_back(path("elsewhere/set.qeb"));
    ASSERT_EQ(files->saveBankFile(), FileResult::Done);
    EXPECT_EQ(files->recentPaths().directory, path("elsewhere/"));
    EXPECT_EQ(files->recentPaths().bank, "set.qeb");

    selector.answers.push_back(std::nullopt);
    files->loadMidiFile();
    EXPECT_EQ(selector.requests.back().initialDirectory, path("elsewhere/"));

    // Split at the last separator of either kind; the file itself is opened by its path
    // (on Windows in the folder a, elsewhere named with the backslash).
    ASSERT_TRUE(platform::makeFolders(path("a")));
    writeFile(path("a\\b.qel"), presets::PresetCodec(*effect).buildPresetBlock());
    selector.answers.push_back(path("a\\b.qel"));
    EXPECT_EQ(files->loadPresetFile(), FileResult::Done);
    EXPECT_EQ(files->recentPaths().directory, path("a\\"));
    EXPECT_EQ(files->recentPaths().preset, "b.qel");
    EXPECT_EQ(files->recentPaths().bank, "set.qeb");
}

TEST_F(Files, TheWorkingDirectoryIsNeverChanged) {
    const std::string before = platform::workingDirectory();
    ASSERT_FALSE(before.empty());
    ASSERT_TRUE(platform::makeFolders(path("sub")));
    selector.answers.push_back(path("sub/x.qel"));
    selector.answers.push_back(path("sub/x.qel"));
    ASSERT_EQ(files->savePresetFile(), FileResult::Done);
    ASSERT_EQ(files->loadPresetFile(), FileResult::Done);
    EXPECT_EQ(platform::workingDirectory(), before);
    EXPECT_FALSE(exists(before + "x.qel"));
}

TEST_F(Files, FilesThatAreNotWholeAndOursChangeNothing) {
    effect->selectProgram(8);
    effect->setParameter(60 + 2, assignmentOf(64));
    const Bytes preset = presets::PresetCodec(*effect).buildPresetBlock();
    const Bytes bank = presets::PresetCodec(*effect).buildBankBlock();
    makeDistinct(*effect, 8, 5);
    effect->selectProgram(8);
    const int32_t id = QEL::kUniqueID;

    Bytes foreign = preset;
    std::memcpy(foreign.data(), "ABCD", 4);
    Bytes four(preset.begin(), preset.begin() + 4);
    Bytes headerOnly(preset.begin(), preset.begin() + 30);
    Bytes truncated(preset.begin(), preset.end() - 7);
    Bytes oversized = preset;
    oversized.resize(presets::kMaxPresetFileSize + 1, 0);
    Bytes wrongKind = bank;  // a bank block in a preset file
    Bytes unknownKind = preset;
    unknownKind[4] = 0x23;
    Bytes hugeCount = preset;
    const int32_t count = 0x7fffffff;
    std::memcpy(&hugeCount[21], &count, 4);
    Bytes legacyShort(5 + 10, 0);  // shorter than a name
    std::memcpy(legacyShort.data(), &id, 4);
    legacyShort[4] = 0x21;

    const struct {
        const char* name;
        const Bytes* bytes;
        FileResult expected;
    } cases[] = {
        {"foreign", &foreign, FileResult::Refused},        {"four bytes", &four, FileResult::Refused},
        {"header only", &headerOnly, FileResult::Refused}, {"truncated", &truncated, FileResult::Refused},
        {"oversized", &oversized, FileResult::Unreadable}, {"bank in preset", &wrongKind, FileResult::Refused},
        {"unknown kind", &unknownKind, FileResult::Refused}, {"huge byte count", &hugeCount, FileResult::Refused},
        {"legacy short", &legacyShort, FileResult::Refused},
    };
    const Bytes before = snapshot(*effect);
    for (const auto& c : cases) {
        writeFile(path("case.qel"), *c.bytes);
        selector.answers.push_back(path("case.qel"));
        EXPECT_EQ(files->loadPresetFile(), c.expected) << c.name;
        EXPECT_EQ(snapshot(*effect), before) << c.name;
        EXPECT_EQ(files->recentPaths().preset, "case.qel") << c.name;  // the choice is remembered
    }
    EXPECT_EQ(files->loadPresetFromPath(path("missing.qel")), FileResult::Unreadable);
    EXPECT_EQ(files->loadPresetFromPath(root), FileResult::Unreadable);  // a folder
    EXPECT_EQ(snapshot(*effect), before);

    // The same truncation and oversize for bank and MIDI files.
    writeFile(path("t.qeb"), Bytes(bank.begin(), bank.end() - 1));
    EXPECT_EQ(files->loadBankFromPath(path("t.qeb")), FileResult::Refused);
    Bytes bigBank = bank;
    bigBank.resize(presets::kMaxPresetFileSize + 1);
    writeFile(path("o.qeb"), bigBank);
    EXPECT_EQ(files->loadBankFromPath(path("o.qeb")), FileResult::Unreadable);
    writeFile(path("p.qem"), preset);
    EXPECT_EQ(files->loadMidiFromPath(path("p.qem")), FileResult::Refused);
    // A file of exactly the limit is read (and here refused for what it holds, not its size).
    Bytes atLimit = preset;
    atLimit.resize(presets::kMaxPresetFileSize, 0);
    writeFile(path("l.qel"), atLimit);
    EXPECT_EQ(files->loadPresetFromPath(path("l.qel")), FileResult::Done);
}

TEST_F(Files, PathsLongerThanTheRecentBuffersAreRefused) {
    const std::string longName(256 - root.size() + 1, 'n');
    const std::string tooLong = root + longName;
    ASSERT_EQ(tooLong.size(), 257u);
    files->recentPaths() = {"/kept/", "kept.qel", "", ""};
    selector.answers.push_back(tooLong);
    EXPECT_EQ(files->savePresetFile(), FileResult::BadPath);  // 257 + ".qel"
    selector.answers.push_back(tooLong);
    EXPECT_EQ(files->loadPresetFile(), FileResult::BadPath);
    EXPECT_EQ(files->recentPaths().directory, "/kept/");
    EXPECT_EQ(files->recentPaths().preset, "kept.qel");
    EXPECT_TRUE(listFolder(root).empty() || listFolder(root) == std::vector<std::string>{"config"});

    // 256 characters are fine.
    const std::string fits = root + std::string(256 - root.size() - 4, 'f') + ".qel";
    ASSERT_EQ(fits.size(), 256u);
    selector.answers.push_back(fits);
    EXPECT_EQ(files->savePresetFile(), FileResult::Done);
    EXPECT_EQ(files->recentPaths().preset.size(), 256u - root.size());
}

}  // namespace
