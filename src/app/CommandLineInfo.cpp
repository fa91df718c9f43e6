#include "app/CommandLineInfo.h"

#include "platform/StringTable.h"

namespace
{
QString Format(unsigned id, const QString& argument)
{
    return QString::fromStdString(FormatString(id, argument.toLocal8Bit().constData()));
}
} // namespace

CCommandLineInfo CCommandLineInfo::Parse(const QStringList& arguments)
{
    CCommandLineInfo info;
    auto fail = [&info](QString text)
    {
        info.action = Action::Error;
        info.errorText = std::move(text);
        return info;
    };
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i)
    {
        const QString& argument = arguments[i];
        const bool isOption = !optionsEnded && argument.startsWith(QLatin1Char('-')) && argument.size() > 1;
        if (isOption)
        {
            if (argument == QLatin1String("--"))
            {
                optionsEnded = true;
            }
            else if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            {
                info.action = Action::Help;
                return info;
            }
            else if (argument == QLatin1String("--version"))
            {
                info.action = Action::Version;
                return info;
            }
            else if (argument == QLatin1String("--screenshot"))
            {
                if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
                    return fail(Format(IDS_OPTION_NEEDS_FILE, argument));
                info.screenshot = arguments[++i];
                info.showSplash = false;
            }
            else if (argument.startsWith(QLatin1String("--screenshot=")))
            {
                info.screenshot = argument.mid(argument.indexOf(QLatin1Char('=')) + 1);
                info.showSplash = false;
                if (info.screenshot.isEmpty())
                    return fail(Format(IDS_OPTION_NEEDS_FILE, QStringLiteral("--screenshot")));
            }
            else
            {
                return fail(Format(IDS_UNKNOWN_OPTION, argument));
            }
            continue;
        }
        if (!info.fileName.isEmpty())
            return fail(Format(IDS_TOO_MANY_FILES, argument));
        info.fileName = argument;
    }
    return info;
}
