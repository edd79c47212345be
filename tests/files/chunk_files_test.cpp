// Files applied to a host chunk and made from one, as the command-line tool uses them.
#include "../../src/presets/files/ChunkFiles.h"

#include "FilesTestSupport.h"

using namespace filestest;
using presets::FileKind;
using presets::FileResult;

namespace {

class ChunkFiles : public TempFolderTest {};

Bytes chunkOf(CPresetSystemEffect& e) { return presets::PresetCodec(e).buildChunk(); }

TEST_F(ChunkFiles, APresetFileLandsInTheChunksCurrentProgram) {
    auto source = newEffect();
    source->selectProgram(1);
    ASSERT_EQ(presets::saveFileToPath(*source, FileKind::Preset, path("p.qel")), FileResult::Done);

    auto plugin = newEffect();
    plugin->selectProgram(12);
    plugin->setParameter(60 + 2, assignmentOf(30));
    Bytes out;
    ASSERT_EQ(presets::applyFileToChunk(chunkOf(*plugin), path("p.qel"), FileKind::Preset, false, out),
              FileResult::Done);
    ASSERT_EQ(plugin->setChunk(out.data(), static_cast<VstInt32>(out.size())), 0);
    EXPECT_EQ(plugin->getCurrentProgramIndex(), 12);
    EXPECT_TRUE(sameProgram(plugin->programs()[12], source->programs()[1]));
    EXPECT_EQ(plugin->getAssignedController(2), 30);  // the rest of the state travels along

    // The same as loading the file into the plug-in directly.
    auto direct = newEffect();
    direct->selectProgram(12);
    direct->setParameter(60 + 2, assignmentOf(30));
    ASSERT_EQ(presets::loadFileFromPath(*direct, FileKind::Preset, path("p.qel"), false), FileResult::Done);
    EXPECT_EQ(snapshot(*direct), snapshot(*plugin));
}

TEST_F(ChunkFiles, FilesMadeFromAChunkEqualThePluginsOwn) {
    auto plugin = newEffect();
    plugin->selectProgram(9);
    makeDistinct(*plugin, 9, 6);
    plugin->selectProgram(9);
    plugin->setParameter(60 + 40, assignmentOf(100));
    const Bytes chunk = chunkOf(*plugin);
    for (FileKind kind : {FileKind::Preset, FileKind::Bank, FileKind::Midi}) {
        Bytes file;
        ASSERT_EQ(presets::fileFromChunk(chunk, kind, file), FileResult::Done);
        EXPECT_EQ(file, presets::buildFileImage(*plugin, kind));
    }
    ASSERT_EQ(presets::saveFileFromChunk(chunk, FileKind::Bank, path("b.qeb")), FileResult::Done);
    EXPECT_EQ(readFile(path("b.qeb")), presets::buildFileImage(*plugin, FileKind::Bank));

    // The initial chunk is a fresh effect's.
    auto fresh = newEffect();
    EXPECT_EQ(presets::initialChunk(), chunkOf(*fresh));
}

TEST_F(ChunkFiles, RefusedInputsSayWhich) {
    Bytes out, file;
    const Bytes junk{1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(presets::applyFileToChunk(junk, path("x.qel"), FileKind::Preset, false, out), FileResult::BadChunk);
    EXPECT_EQ(presets::fileFromChunk(junk, FileKind::Bank, file), FileResult::BadChunk);
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(file.empty());

    // A refused file gives back the state it was handed.
    const Bytes chunk = presets::initialChunk();
    writeFile(path("bad.qel"), Bytes{'n', 'o', 'p', 'e', 0x22, 0});
    EXPECT_EQ(presets::applyFileToChunk(chunk, path("bad.qel"), FileKind::Preset, false, out), FileResult::Refused);
    EXPECT_EQ(out, chunk);
    EXPECT_EQ(presets::applyFileToChunk(chunk, path("none.qel"), FileKind::Preset, false, out),
              FileResult::Unreadable);
    EXPECT_EQ(presets::describe(FileResult::Refused, FileKind::Preset),
              "the file is not a valid preset file; nothing was loaded");
}

}  // namespace
