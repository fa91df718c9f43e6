#include "bank/UndoStack.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
// An entry that notes "-name" when undone and "+name" when redone.
class LoggedEntry : public IUndoEntry
{
public:
    LoggedEntry(std::string entryName, std::vector<std::string>& entryLog)
        : name(std::move(entryName)), log(entryLog)
    {
    }
    const std::string& GetName() const override { return name; }
    void Undo() override { log.push_back("-" + name); }
    void Redo() override { log.push_back("+" + name); }

private:
    std::string name;
    std::vector<std::string>& log;
};

class UndoStackTest : public ::testing::Test
{
protected:
    void Push(const std::string& name) { stack.Push(std::make_unique<LoggedEntry>(name, log)); }

    CUndoStack stack{3};
    std::vector<std::string> log;
};
} // namespace

TEST_F(UndoStackTest, UndoAndRedoWalkTheEntriesInOrder)
{
    EXPECT_FALSE(stack.Undo());
    EXPECT_FALSE(stack.Redo());
    EXPECT_EQ(stack.GetUndoName(), "");
    Push("a");
    Push("b");
    EXPECT_EQ(stack.GetUndoName(), "b");
    EXPECT_TRUE(stack.Undo());
    EXPECT_EQ(stack.GetUndoName(), "a");
    EXPECT_EQ(stack.GetRedoName(), "b");
    EXPECT_TRUE(stack.Undo());
    EXPECT_FALSE(stack.Undo());
    EXPECT_TRUE(stack.Redo());
    EXPECT_EQ(log, (std::vector<std::string>{"-b", "-a", "+a"}));
    EXPECT_EQ(stack.GetRedoName(), "b");

    // A new edit after undoing drops what could be redone.
    Push("c");
    EXPECT_FALSE(stack.CanRedo());
    EXPECT_EQ(stack.GetCount(), 2u);
    EXPECT_TRUE(stack.Undo());
    EXPECT_EQ(log.back(), "-c");
    EXPECT_EQ(stack.GetUndoName(), "a");
}

TEST_F(UndoStackTest, TheCleanStateIsFoundAgainOnlyWhileItCanBeReached)
{
    EXPECT_TRUE(stack.IsClean());
    Push("a");
    EXPECT_FALSE(stack.IsClean());
    stack.SetClean(); // saved after a
    Push("b");
    stack.Undo();
    EXPECT_TRUE(stack.IsClean());
    stack.Undo();
    EXPECT_FALSE(stack.IsClean());
    stack.Redo();
    EXPECT_TRUE(stack.IsClean());

    // Undoing to before the save and editing otherwise loses the saved state.
    stack.Undo();
    Push("c");
    stack.Undo();
    EXPECT_FALSE(stack.IsClean());
    stack.Redo();
    EXPECT_FALSE(stack.IsClean());

    // An edit that was not recorded: no position is the file's.
    stack.SetClean();
    stack.ForgetClean();
    EXPECT_FALSE(stack.IsClean());
    stack.Clear();
    EXPECT_TRUE(stack.IsClean());
    EXPECT_FALSE(stack.CanUndo());
}

TEST_F(UndoStackTest, TheOldestEntriesAreDroppedAtTheLimit)
{
    // Clean at the start, then four edits on a stack of three.
    Push("a");
    Push("b");
    Push("c");
    Push("d");
    EXPECT_EQ(stack.GetCount(), 3u);
    while (stack.Undo())
    {
    }
    EXPECT_EQ(log, (std::vector<std::string>{"-d", "-c", "-b"}));
    EXPECT_FALSE(stack.IsClean()) << "the state before a is gone";

    stack.Clear();
    Push("a");
    stack.SetClean();
    Push("b");
    Push("c");
    Push("d"); // drops a: the saved state is now before b
    stack.Undo();
    stack.Undo();
    EXPECT_FALSE(stack.IsClean());
    stack.Undo();
    EXPECT_FALSE(stack.CanUndo());
    EXPECT_TRUE(stack.IsClean());
}
