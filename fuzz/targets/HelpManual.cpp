// The help window's manual: read from a file, rendered from Markdown, its
// parts found by their headings. Whatever the file holds, reading ends, and
// every part the manual lists is found again by its name.

#include "FuzzTarget.h"
#include "ui/sheets/ManualText.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Text layout needs an application; no screen is needed.
    static QGuiApplication* application = []
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "fuzz-HelpManual";
        static char* argv[] = {name, nullptr};
        return new QGuiApplication(argc, argv);
    }();
    (void)application;

    CFuzzFile& file = CFuzzFile::Input();
    file.Write(data, size);
    QString text;
    const bool read = Manual::Read(QString::fromStdString(file.Path()), text);
    FUZZ_CHECK(read == (size <= static_cast<std::size_t>(Manual::kLargestManual)));
    if (!read)
        return 0;

    QTextDocument document;
    document.setMarkdown(text);
    for (const QString& topic : Manual::Topics(document))
    {
        const QTextBlock heading = Manual::FindHeading(document, topic);
        FUZZ_CHECK(heading.isValid());
        FUZZ_CHECK(heading.text().trimmed() == topic);
    }
    return 0;
}
