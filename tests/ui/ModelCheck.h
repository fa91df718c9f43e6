#pragma once
// Qt's model checker watching a model for the life of a ModelCheck; what it
// finds (its warnings) is collected in Failures().

#include <QAbstractItemModelTester>

#include <string>
#include <string_view>
#include <vector>

class ModelCheck
{
public:
    // The handler goes in before the checker, which checks as it is made.
    explicit ModelCheck(QAbstractItemModel* model)
        : previous((Failures().clear(), qInstallMessageHandler(&Record))),
          tester(model, QAbstractItemModelTester::FailureReportingMode::Warning)
    {
    }
    ~ModelCheck() { qInstallMessageHandler(previous); }

    static std::vector<std::string>& Failures()
    {
        static std::vector<std::string> found;
        return found;
    }

private:
    static void Record(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (type != QtDebugMsg && context.category && std::string_view(context.category) == "qt.modeltest")
            Failures().push_back(text.toStdString());
    }

    QtMessageHandler previous;
    QAbstractItemModelTester tester;
};
