// The menu commands of the window reach their dialogs: each opens its modal
// dialog, which the test closes with Cancel, leaving the document unchanged.

#include "AppFixture.h"

#include "bank/CommandIds.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

namespace
{
// Runs command id and returns the title of the modal dialog it opened (empty
// when none opened within a few seconds); the dialog is cancelled.
QString TitleOfDialogOpenedBy(CCommandRouter& router, int id)
{
    QString title;
    QTimer poll;
    int tries = 0;
    QObject::connect(&poll, &QTimer::timeout,
                     [&]
                     {
                         if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                         {
                             title = dialog->windowTitle();
                             dialog->reject();
                         }
                         else if (++tries > 300)
                         {
                             poll.stop(); // nothing opened: the command must have returned already
                         }
                     });
    poll.start(10);
    router.Execute(id);
    poll.stop();
    return title;
}
} // namespace

TEST_F(AppTest, DialogCommandsOpenTheirDialogsAndCancelChangesNothing)
{
    ASSERT_TRUE(Start());
    EXPECT_EQ(TitleOfDialogOpenedBy(Router(), ID_APP_ABOUT), QStringLiteral("About Tamberly 96"));
    EXPECT_EQ(TitleOfDialogOpenedBy(Router(), ID_TIP_OF_THE_DAY), QStringLiteral("Tip of the Day"));

    const int reverb = Doc().GetCard().GetReverb();
    EXPECT_EQ(TitleOfDialogOpenedBy(Router(), ID_SELECT_FX), QStringLiteral("FX Settings"));
    EXPECT_EQ(Doc().GetCard().GetReverb(), reverb);

    EXPECT_EQ(TitleOfDialogOpenedBy(Router(), ID_FILE_INFO), QStringLiteral("Virtual Bank Information"));
    EXPECT_FALSE(Doc().IsModified()); // Cancel leaves the information text alone
}
