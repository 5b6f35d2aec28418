#include "wizard/checkwindow.h"

#include "engine/core/errors.h"
#include "engine/core/textrules.h"
#include "wizard/runview.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace tavrex {

QStringList checkCells(const CheckTable &t, const CheckViewCaptions &c)
{
    const QLocale locale(c.report.languageCode == QLatin1String("cn") ? QLocale::Chinese : QLocale::English);
    return {t.source,
            t.target,
            c.report.actionCaption(t.action),
            locale.toString(qlonglong(t.rows)),
            locale.toString(qlonglong(t.valueCount())),
            locale.toString(qlonglong(t.rowsRejected)),
            QString::number(t.refusedCount())};
}

QString checkSummary(const CheckReport &report, const CheckViewCaptions &c)
{
    int attention = 0;
    for (const CheckTable &t : report.tables)
        if (t.hasProblem())
            ++attention;
    return c.summary.arg(report.tables.size()).arg(attention).arg(report.estimate.seconds, 0, 'f', 1);
}

CheckWindow::CheckWindow(CheckReport report, const CheckViewCaptions &captions, QWidget *parent)
    : QDialog(parent), report_(std::move(report)), captions_(captions)
{
    setObjectName(QStringLiteral("checkwindow"));
    setWindowTitle(captions_.windowTitle);
    auto *layout = new QVBoxLayout(this);
    table_ = new QTableWidget(this);
    table_->setObjectName(QStringLiteral("checktable"));
    table_->setColumnCount(int(captions_.headers.size()));
    table_->setHorizontalHeaderLabels(captions_.headers);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->hide();
    table_->setRowCount(int(report_.tables.size()));
    for (int row = 0; row < int(report_.tables.size()); ++row) {
        const CheckTable &t = report_.tables[size_t(row)];
        const bool problem = t.hasProblem();
        auto *icon = new QTableWidgetItem(
            statusIcon(t.action == QLatin1String("fail") ? TableStatus::Failed
                       : problem                         ? TableStatus::Rejected
                                                         : TableStatus::Ok),
            QString());
        icon->setToolTip(problem ? captions_.report.attention : captions_.report.ok);
        table_->setItem(row, 0, icon);
        const QStringList cells = checkCells(t, captions_);
        for (int col = 0; col < cells.size(); ++col) {
            auto *item = new QTableWidgetItem(cells.at(col));
            if (col >= 3)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            item->setToolTip(captions_.detailsTip);
            table_->setItem(row, col + 1, item);
        }
    }
    table_->resizeColumnsToContents();
    layout->addWidget(table_);
    summary_ = new QLabel(checkSummary(report_, captions_), this);
    summary_->setObjectName(QStringLiteral("checksummary"));
    summary_->setWordWrap(true);
    layout->addWidget(summary_);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    save_ = buttons->addButton(captions_.save, QDialogButtonBox::ActionRole);
    save_->setObjectName(QStringLiteral("btsavecheck"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(save_, &QPushButton::clicked, this, [this] { save(); });
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { openDetails(row); });
    resize(760, 360);
}

QDialog *CheckWindow::openDetails(int row)
{
    if (row < 0 || row >= int(report_.tables.size()))
        return nullptr;
    auto *details = new QDialog(this);
    details->setObjectName(QStringLiteral("checkdetails"));
    details->setAttribute(Qt::WA_DeleteOnClose);
    details->setWindowTitle(captions_.windowTitle + QStringLiteral(" - ") + report_.tables[size_t(row)].source);
    auto *layout = new QVBoxLayout(details);
    auto *browser = new QTextBrowser(details);
    browser->setObjectName(QStringLiteral("checkdetailstext"));
    browser->setHtml(report_.toHtml(captions_.report, row));
    layout->addWidget(browser);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, details);
    connect(buttons, &QDialogButtonBox::rejected, details, &QDialog::reject);
    layout->addWidget(buttons);
    details->resize(720, 520);
    details->show();
    return details;
}

void CheckWindow::save()
{
    QString path = chooser_ ? chooser_()
                            : QFileDialog::getSaveFileName(this, captions_.saveTitle, QString(),
                                                           QStringLiteral("*.check.html"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".check.html"), Qt::CaseInsensitive))
        path = replaceExtension(path, QStringLiteral(".check.html"));
    const QString json = path.left(path.size() - int(qstrlen(".check.html"))) + QStringLiteral(".check.json");
    try {
        saveCheckReport(report_, captions_.report, path, json);
    } catch (const std::exception &e) {
        QMessageBox::critical(this, captions_.windowTitle, errorMessage(e));
    }
}

} // namespace tavrex
