#include "ui/panes/SoundFontInfoDialog.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>

#include <gtest/gtest.h>

TEST(SoundFontInfoDialog, CaptionNamesTheFileTitleAndTextsShowAsDisplayText)
{
    CSoundFontInfoDialog dialog;
    dialog.path = "C:\\BANKS\\SYNTH.SBK";
    dialog.name = "Caf\xE9";                // Windows-1252, as old banks hold it
    dialog.comment = "one\rtwo\r\nthree\n"; // line breaks of every kind
    dialog.InitDialog();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Info on 'SYNTH'"));
    ASSERT_EQ(dialog.GetTabs()->count(), 1);
    EXPECT_EQ(dialog.GetTabs()->tabText(0), QStringLiteral("&Info"));
    EXPECT_EQ(dialog.GetNameEdit()->text(), QString::fromUtf8("Caf\xC3\xA9"));
    EXPECT_EQ(dialog.GetProductEdit()->text(), QString());
    EXPECT_EQ(dialog.GetCommentEdit()->toPlainText(), QStringLiteral("one\ntwo\nthree\n"));

    dialog.path = "/home/user/banks/ROCK.PIANO.SBK";
    dialog.InitDialog();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Info on 'ROCK.PIANO'"));
}
