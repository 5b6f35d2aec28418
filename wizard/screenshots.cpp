// tavrex-screenshots DIR: renders the six wizard pages and the standard error
// box to PNG files in DIR (page1.png ... page6.png, errorbox.png), so the
// window can be looked at without a display:
//   QT_QPA_PLATFORM=offscreen tavrex-screenshots /tmp/shots
// The pages show sample content; no server is contacted and no settings are
// read or written.

#include "engine/prompts.h"
#include "settings/batchmode.h"
#include "settings/batchwindow.h"
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
    TRunLog &log = window.log();
    for (const char *line :
         {"Start time:2/1/2024 09:15:05", "Create table ORDERS...Done", "", "Insert table ORDERS 1250 Rows ...Done", "",
          "Create table ORDER_ITEMS...Done", "", "Insert table ORDER_ITEMS 4810 Rows ...Done", "", "已经完成转换",
          "向导已经完成Mysql 数据库到Orccle的转换.", "The end time:2/1/2024 09:15:09", "点击 'Finish' 离开本向导."})
        log.Append(QString::fromUtf8(line));

    bool ok = true;
    for (int page = 1; page <= 6; ++page) {
        window.previewPage(page, databases, available, page == 5 ? selected : QStringList());
        QCoreApplication::processEvents();
        ok = save(window.grab(), dir, QStringLiteral("page%1.png").arg(page)) && ok;
    }

    auto box = makeMessageBox(MessageKind::Error, &window, applicationTitle(),
                              standardErrorText(QStringLiteral("Can't connect to server on 'db.example.net' (113)")));
    box->show();
    QCoreApplication::processEvents();
    ok = save(withTitle(box->grab(), box->windowTitle()), dir, QStringLiteral("errorbox.png")) && ok;
    box->hide();

    // The batch window as "Create Shortcut File" opens it on page 5.
    window.previewPage(5, databases, available, selected);
    Tmarfrm_bat batch(prompts);
    batch.fill(batchWindowInput(window));
    batch.show();
    QCoreApplication::processEvents();
    ok = save(withTitle(batch.grab(), batch.windowTitle()), dir, QStringLiteral("batchwindow.png")) && ok;
    return ok ? 0 : 1;
}
