// tavrex-screenshots DIR: renders the six wizard pages in both languages, the
// message boxes and the batch window to PNG files in DIR (page1.png ...
// page6.png in Chinese, page1-en.png ... page6-en.png in English, the run's
// progress and results on page 6 (progress.png, results.png and their -en
// twins), errorbox.png, errorbox-client.png, infobox.png, batchwindow.png), so the
// window can be looked at without a display:
//   QT_QPA_PLATFORM=offscreen tavrex-screenshots /tmp/shots
// The pages show sample content; no server is contacted and no settings are
// read or written.

#include "engine/core/prompts.h"
#include "wizard/batchmode.h"
#include "wizard/batchwindow.h"
#include "wizard/captions.h"
#include "wizard/mainwindow.h"
#include "wizard/windowprompts.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>

#include <cstdio>

using namespace tavrex;

namespace {

// The window's boxes are drawn separately; here they only fall silent.
class SilentPrompts : public Prompts {
public:
    void information(const QString &, const QString &) override {}
    bool question(const QString &, const QString &) override { return false; }
    void error(const QString &, const QString &) override {}
};

bool save(const QPixmap &picture, const QDir &dir, const QString &name)
{
    const QString path = dir.filePath(name);
    if (!picture.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// The offscreen platform draws no window frame: the title is put above the
// box's client area so the picture shows it.
QPixmap withTitle(const QPixmap &client, const QString &title)
{
    const int strip = 24;
    QPixmap picture(client.width(), client.height() + strip);
    picture.fill(QColor(0x1f, 0x4e, 0x79));
    QPainter p(&picture);
    p.setPen(Qt::white);
    p.drawText(QRect(8, 0, client.width() - 16, strip), Qt::AlignVCenter | Qt::AlignLeft, title);
    p.drawPixmap(0, strip, client);
    return picture;
}

// A sample run with one table of each kind: converted, converted with
// rejected values and a rejected row, failed, and skipped. Its log lines are
// the ones such a run writes.
RunReport sampleReport()
{
    RunReport report;
    report.outcome = RunResultOutcome::CompletedWithErrors;
    const auto add = [&report](const char *source, const char *target, const char *action, std::int64_t read,
                               std::int64_t written, std::int64_t values, std::int64_t rows, QStringList errors,
                               double seconds) {
        TableResult t;
        t.source = QString::fromLatin1(source);
        t.target = QString::fromLatin1(target);
        t.action = tableActionFromText(QString::fromLatin1(action));
        t.rowsRead = read;
        t.rowsWritten = written;
        t.valuesRejected = values;
        t.rowsRejected = rows;
        t.errors = std::move(errors);
        t.seconds = seconds;
        report.tables.push_back(t);
    };
    add("customers", "CUSTOMERS", "created", 1250, 1250, 0, 0, {}, 0.4);
    add("orders", "ORDERS", "created", 48210, 48209, 3, 1, {}, 6.2);
    add("order_items", "ORDER_ITEMS", "failed", 0, 0, 0, 0,
        {QStringLiteral("ORA-00904: \"DISCOUNT\": invalid identifier")}, 0.1);
    add("products", "PRODUCTS", "skipped", 0, 0, 0, 0, {}, 0.0);
    report.ledgerFileName = QStringLiteral("qelt_20240201_091505.rejects.csv");
    return report;
}

QStringList sampleLog(const RunReport &report, const QStringList &table, const QString &code)
{
    QStringList lines{"Start time:2/1/2024 09:15:05", "Create table CUSTOMERS...Done", "",
                      "Insert table CUSTOMERS 1250 Rows ...Done", "", "Create table ORDERS...Done", "",
                      "Insert table ORDERS 48200 Rows", "Field TOTAL:1E+308 is beyond the range of Oracle NUMBER",
                      "Field SHIPPED:zero date", "Field SHIPPED:zero date",
                      "Insert table ORDERS 48210 Rows ...Done", "1 row rejected", "",
                      "Create table ORDER_ITEMS... ", "ORA-00904: \"DISCOUNT\": invalid identifier", "",
                      "Skip table PRODUCTS... ", "", "Skip table PRODUCTS", ""};
    lines += report.summaryLines();
    lines << captionFor(table, QStringLiteral("Label29"))
          << completedWithErrorsCaption(code)
          << QStringLiteral("The end time:2/1/2024 09:15:12") << captionFor(table, QStringLiteral("Label32"));
    return lines;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    setApplicationTitle();
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: tavrex-screenshots DIR\n");
        return 2;
    }
    QDir dir(args.at(1));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(args.at(1)));
        return 1;
    }

    SilentPrompts prompts;
    WindowOptions options;
    options.prompts = &prompts;
    options.openUrl = [](const QUrl &) { return true; };
    Taaform1 window(std::move(options));
    ControlValues values = window.controlValues();
    values.accessmode = 1;
    values.edthost = QStringLiteral("db.example.net");
    values.edtdatabase = QStringLiteral("shop");
    values.edtname = QStringLiteral("reader");
    values.edtpassword = QStringLiteral("secret");
    values.edtservice = QStringLiteral("ORCL");
    values.edtoracleusername = QStringLiteral("scott");
    values.edtoraclepassword = QStringLiteral("tiger");
    window.setControlValues(values);
    window.show();

    const ListChoice databases{{"information_schema", "mysql", "performance_schema", "shop"}, 3};
    const QStringList available{"customers", "invoice_lines", "invoices", "products"};
    const QStringList selected{"orders", "order_items"};
    const QStringList english = englishTable(QString());
    const QStringList chn = chnTable(QString());

    bool ok = true;
    for (const QString &code : {languageChinese(), languageEnglish()}) {
        if (window.LanguageCode() != code)
            window.lnklanguageClick();
        // A finished run's log, its closing lines in the language of the window.
        const QStringList &table = code == languageEnglish() ? english : chn;
        TRunLog &log = window.log();
        log.Clear();
        for (const char *line : {"Start time:2/1/2024 09:15:05", "Create table ORDERS...Done", "",
                                 "Insert table ORDERS 1250 Rows ...Done", "", "Create table ORDER_ITEMS...Done", "",
                                 "Insert table ORDER_ITEMS 4810 Rows ...Done", ""})
            log.Append(QString::fromUtf8(line));
        log.Append(captionFor(table, QStringLiteral("Label29")));
        log.Append(captionFor(table, QStringLiteral("Label30")));
        log.Append(QStringLiteral("The end time:2/1/2024 09:15:09"));
        log.Append(captionFor(table, QStringLiteral("Label32")));

        const QString suffix = code == languageEnglish() ? QStringLiteral("-en") : QString();
        for (int page = 1; page <= 6; ++page) {
            window.previewPage(page, databases, available, page == 5 ? selected : QStringList());
            QCoreApplication::processEvents();
            ok = save(window.grab(), dir, QStringLiteral("page%1%2.png").arg(page).arg(suffix)) && ok;
        }

        // The same page during a run: the second of four tables in work.
        log.Clear();
        const RunReport report = sampleReport();
        const QStringList runLines = sampleLog(report, table, code);
        for (qsizetype i = 0; i < 8; ++i)
            log.Append(runLines.at(i));
        RunProgress progress;
        progress.tablesDone = 1;
        progress.tableCount = 4;
        progress.table = QStringLiteral("orders");
        progress.rowsCopied = 31400;
        progress.rowsEstimated = 48000;
        window.previewProgress(progress, 7830);
        QCoreApplication::processEvents();
        ok = save(window.grab(), dir, QStringLiteral("progress%1.png").arg(suffix)) && ok;

        // And after it: the results at a glance.
        log.Clear();
        for (const QString &line : runLines)
            log.Append(line);
        window.previewResults(report);
        QCoreApplication::processEvents();
        ok = save(window.grab(), dir, QStringLiteral("results%1.png").arg(suffix)) && ok;
    }
    if (window.LanguageCode() != languageChinese())
        window.lnklanguageClick();

    const auto saveBox = [&](std::unique_ptr<QMessageBox> box, const QString &name) {
        box->show();
        QCoreApplication::processEvents();
        ok = save(withTitle(box->grab(), box->windowTitle()), dir, name) && ok;
        box->hide();
    };
    saveBox(makeMessageBox(MessageKind::Error, &window, applicationTitle(),
                           standardErrorText(QStringLiteral("Can't connect to server on 'db.example.net' (113)"))),
            QStringLiteral("errorbox.png"));
    // The missing client library as the error box shows it: the places
    // tried under "Show Details…".
    const BoxText client = splitBoxText(QStringLiteral(
        "Cannot load the Oracle client library, which Tavrex needs for every Oracle service name other than "
        "embedded:PATH. Places tried, in this order:\n"
        "  libclntsh.so (the library search path): libclntsh.so: cannot open shared object file: No such file or "
        "directory\n"
        "  the folder lib of ORACLE_HOME: not tried, ORACLE_HOME is not set\n"
        "To install the Oracle Instant Client (release 12.1 or later): download its Basic or Basic Light package, "
        "unzip it into a folder such as /opt/oracle/instantclient_23_5 and make the folder known to the library "
        "search path or set TAVREX_OCI_LIBRARY. Then start Tavrex again."));
    saveBox(makeMessageBox(MessageKind::Error, &window, applicationTitle(), client.text, client.details),
            QStringLiteral("errorbox-client.png"));
    // The blank-database message of page 2: a short text under the title.
    saveBox(makeMessageBox(MessageKind::Information, &window, applicationTitle(), QStringLiteral("请输入数据库名称")),
            QStringLiteral("infobox.png"));

    // The batch window as "Create Shortcut File" opens it on page 5.
    window.previewPage(5, databases, available, selected);
    Tmarfrm_bat batch(prompts);
    batch.fill(batchWindowInput(window));
    batch.show();
    QCoreApplication::processEvents();
    ok = save(withTitle(batch.grab(), batch.windowTitle()), dir, QStringLiteral("batchwindow.png")) && ok;
    return ok ? 0 : 1;
}
