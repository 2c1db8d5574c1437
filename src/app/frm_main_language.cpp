// The window's language, switched live: the forms' captions and hints, the
// texts the code sets from the window's state, the table headers, the chart
// and the pages. What the traffic views, the exchange log's details and the
// messages already show stays as it was written; what follows is in the new
// language. Frames, files and values never depend on the language.
#include "frm_main.h"

#include "bus/scan_result_model.h"
#include "exchange/capture_writer.h"
#include "exchange/exchange_log_model.h"
#include "exchange/exchange_pairing.h"
#include "lazy_page.h"
#include "motion_chart.h"
#include "traffic/reply_decoder.h"

#include <QStandardItemModel>

namespace {

// Headers and cell texts are made at the moment a view asks; this makes it ask again.
void refreshTexts(QAbstractItemModel *model)
{
    const int columns = model->columnCount();
    if (columns == 0)
        return;
    emit model->headerDataChanged(Qt::Horizontal, 0, columns - 1);
    if (const int rows = model->rowCount(); rows > 0)
        emit model->dataChanged(model->index(0, 0), model->index(rows - 1, columns - 1),
                                {Qt::DisplayRole});
}

} // namespace

void FrmMain::setLanguage(Language language)
{
    // The option buttons follow a switch made from code (settings, tests).
    const QSignalBlocker blockChinese(ui.Option1);
    const QSignalBlocker blockEnglish(ui.Option2);
    (language == Language::English ? ui.Option2 : ui.Option1)->setChecked(true);
    m_language = language;
    installLanguage(language);
    retranslate();
}

void FrmMain::retranslate()
{
    // The forms: the user's entries are untranslatable texts and stay.
    const QString configStatus = ui.configStatus->text();
    const QString scanFormat = ui.scanProgress->format();
    ui.retranslateUi(this);
    frame1.retranslateUi(ui.Frame1);
    frame2.retranslateUi(ui.Frame2);
    frame3.retranslateUi(ui.Frame3);
    frame4.retranslateUi(ui.Frame4);
    frame5.retranslateUi(ui.Frame5);
    frame6.retranslateUi(ui.Frame6);
    ui.configStatus->setText(configStatus);
    ui.scanProgress->setFormat(scanFormat);

    // Texts the code sets from the window's state.
    MenuCMD->setTitle(tr("命令操作"));
    DelectList->setText(tr("删除"));
    DelectAll->setText(tr("清空"));
    if (m_shownMoving)
        frame2.Label15->setText(motionStateCaption(*m_shownMoving));
    ui.captureButton->setText(m_capture->isActive() ? tr("停止捕获") : tr("开始捕获…"));
    showPortDevice();
    showExchangeStatus();
    fillExchangeFilter();
    setConfigDiffHeaders();
    refreshTexts(m_exchangeLog);
    refreshTexts(m_scanResults);
    m_motionChart->retranslate();
    for (LazyPage *page : std::as_const(m_pages))
        page->setLanguage(m_language);
}

void FrmMain::fillExchangeFilter()
{
    const QSignalBlocker block(ui.exchangeFilter);
    const int chosen = qMax(ui.exchangeFilter->currentIndex(), 0);
    ui.exchangeFilter->clear();
    ui.exchangeFilter->addItem(tr("全部"), -1);
    for (const Verdict verdict : {Verdict::Good, Verdict::BadCheck, Verdict::Exception,
                                  Verdict::Timeout, Verdict::Unexpected, Verdict::NoReply}) {
        ui.exchangeFilter->addItem(
                verdict == Verdict::Exception ? tr("异常") : verdictText(verdict), int(verdict));
    }
    ui.exchangeFilter->setCurrentIndex(chosen);
}

void FrmMain::setConfigDiffHeaders()
{
    m_configDiff->setHorizontalHeaderLabels(
            {tr("站号"), tr("项目"), tr("文件"), tr("控制器"), tr("结果")});
}
