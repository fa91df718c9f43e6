#include "ui/sheets/TipDialog.h"

#include "ui/Profile.h"
#include "ui/UiText.h"
#include "ui/sheets/Artwork.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include <unistd.h>

namespace
{
constexpr const char* kTipsFileName = "tips.txt";
constexpr int kBulbGap = 10;

QString TipKey(unsigned valueId)
{
    return UiText(IDS_PROFILE_TIP) + QLatin1Char('/') + UiText(valueId);
}

int ReadNumber(const QSettings& settings, unsigned valueId, int fallback)
{
    bool ok = false;
    const int number = settings.value(TipKey(valueId)).toInt(&ok);
    return ok ? number : fallback;
}
} // namespace

std::string CTipDialog::FindTipsFile()
{
    if (access(kTipsFileName, R_OK) == 0)
        return kTipsFileName;
    const QString programFolder = QCoreApplication::applicationDirPath();
    if (!programFolder.isEmpty())
    {
        const QDir folder(programFolder);
        for (const QString& candidate :
             {folder.filePath(QLatin1String(kTipsFileName)),
              folder.filePath(QStringLiteral("../share/tamberly/") + QLatin1String(kTipsFileName))})
        {
            const std::string path = QDir::cleanPath(candidate).toStdString();
            if (access(path.c_str(), R_OK) == 0)
                return path;
        }
    }
    return kTipsFileName;
}

CTipDialog::CTipDialog(QWidget* parent, TipDialogOptions dialogOptions)
    : QDialog(parent), options(std::move(dialogOptions)), tipFrame(new QFrame(this)),
      tipLabel(new QLabel(tipFrame)), startupCheck(new QCheckBox(UiText(IDS_TIP_SHOW_AT_STARTUP), this)),
      nextButton(new QPushButton(UiText(IDS_TIP_NEXT), this)),
      closeButton(new QPushButton(UiText(IDS_TIP_CLOSE), this))
{
    setWindowTitle(UiText(IDS_TIP_CAPTION));
    setModal(true);

    tipFrame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    QPalette paper = tipLabel->palette();
    paper.setColor(QPalette::Window, Qt::white);
    paper.setColor(QPalette::WindowText, Qt::black);
    tipLabel->setPalette(paper);
    tipLabel->setAutoFillBackground(true);
    tipLabel->setWordWrap(true);
    tipLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    tipLabel->setTextFormat(Qt::PlainText);
    auto* frameLayout = new QVBoxLayout(tipFrame);
    const QPixmap bulb = DrawBulbImage();
    frameLayout->setContentsMargins(bulb.width() + kBulbGap, bulb.height() + kBulbGap, kBulbGap * 2,
                                    kBulbGap);
    frameLayout->addWidget(tipLabel, 1);

    closeButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(startupCheck);
    buttons->addStretch(1);
    buttons->addWidget(nextButton);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tipFrame, 1);
    layout->addLayout(buttons);
    resize(DialogUnitsX(*this, 231), DialogUnitsY(*this, 164));

    connect(nextButton, &QPushButton::clicked, this, &CTipDialog::ReadNextTip);
    connect(closeButton, &QPushButton::clicked, this, &CTipDialog::accept);

    QSettings& settings = Settings();
    showAtStartup = ReadNumber(settings, IDS_PROFILE_TIP_STARTUP, 0) == 0 ? 1 : 0;
    long position = ReadNumber(settings, IDS_PROFILE_TIP_FILE_POS, 0);
    const std::string path = options.tipsFile.empty() ? FindTipsFile() : options.tipsFile;
    if (!tipsFile.Open(path))
    {
        tipText = LoadString(IDS_TIP_FILE_ABSENT);
    }
    else
    {
        const QString stamp = QString::fromStdString(tipsFile.GetCreationStamp());
        if (stamp != settings.value(TipKey(IDS_PROFILE_TIP_TIME_STAMP)).toString())
        {
            position = 0;
            settings.setValue(TipKey(IDS_PROFILE_TIP_TIME_STAMP), stamp);
        }
        if (!tipsFile.Seek(position))
            ReportTrouble();
        else
            CTipDialog::ReadNextTip();
    }
    ShowTip();
}

CTipDialog::~CTipDialog()
{
    if (tipsFile.IsOpen())
    {
        const long position = tipsFile.Tell();
        if (position >= 0)
            Settings().setValue(TipKey(IDS_PROFILE_TIP_FILE_POS), static_cast<qlonglong>(position));
        tipsFile.Close();
    }
}

QSettings& CTipDialog::Settings() const
{
    return options.profile ? *options.profile : Profile::Settings();
}

void CTipDialog::ReportTrouble()
{
    const QString text = UiText(IDS_TIP_FILE_TROUBLE);
    if (options.reportError)
        options.reportError(text);
    else
        QMessageBox::warning(parentWidget(), QGuiApplication::applicationDisplayName(), text);
}

void CTipDialog::ReadNextTip()
{
    switch (tipsFile.ReadNextTip(tipText))
    {
    case CTipsFile::ReadResult::Tip:
        break;
    case CTipsFile::ReadResult::NoTip:
        // Nothing to show and nothing to move on to: the search stops here.
        noTips = true;
        break;
    case CTipsFile::ReadResult::SeekFailed:
        ReportTrouble();
        break;
    }
    ShowTip();
}

void CTipDialog::ShowTip()
{
    startupCheck->setChecked(showAtStartup != 0);
    QString text = StoredToUi(tipText);
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    tipLabel->setText(text);
    nextButton->setEnabled(tipsFile.IsOpen() && !noTips);
}

void CTipDialog::accept()
{
    showAtStartup = startupCheck->isChecked() ? 1 : 0;
    Settings().setValue(TipKey(IDS_PROFILE_TIP_STARTUP), showAtStartup ? 0 : 1);
    QDialog::accept();
}

void CTipDialog::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    QPainter painter(this);
    const QRect area = tipFrame->geometry();
    painter.fillRect(area, Qt::white);
    const QPixmap bulb = DrawBulbImage();
    const QPoint corner = area.topLeft() + QPoint(tipFrame->frameWidth(), tipFrame->frameWidth());
    painter.drawPixmap(corner, bulb);

    QFont heading = font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.5);
    painter.setFont(heading);
    painter.setPen(Qt::black);
    const QRect band(corner.x() + bulb.width() + kBulbGap, corner.y(),
                     area.right() - corner.x() - bulb.width(), bulb.height());
    painter.drawText(band, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     UiText(IDS_TIP_DID_YOU_KNOW));
}
