// The preview's scale: Ctrl+wheel, the keys of the "Widok" menu and "Dopasuj do
// szerokości"; kept in the settings between runs. And what a screen reader says of it.
#include "app/TFGlowna.h"
#include "storage/SettingsStore.h"

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>
#include <iterator>

namespace {

const QString kZoomKey = QStringLiteral("preview_zoom");
// The steps of Ctrl+plus and Ctrl+minus, in percent.
constexpr int kSteps[] = {25, 33, 50, 67, 75, 90, 100, 110, 125, 150, 175, 200, 250, 300, 400};

} // namespace

void TFGlowna::loadZoom()
{
    int stored = 0;
    MessageBuffer quiet; // without the setting the preview is shown at its own size
    if (bFunSqlGetSettingsValue(quiet, kZoomKey, stored) && stored != 0)
        m_zoom = std::clamp(stored, kMinZoom, kMaxZoom);
    applyZoom();
}

void TFGlowna::setPreviewZoom(int percent)
{
    percent = std::clamp(percent, kMinZoom, kMaxZoom);
    if (percent == m_zoom)
        return;
    // The point in the middle of the view stays there.
    QScrollBar* bars[] = {m_scroll->horizontalScrollBar(), m_scroll->verticalScrollBar()};
    qreal centre[2];
    for (int i = 0; i < 2; ++i)
        centre[i] = (bars[i]->value() + bars[i]->pageStep() / 2.0) / m_zoom;
    m_zoom = percent;
    applyZoom();
    for (int i = 0; i < 2; ++i)
        bars[i]->setValue(qRound(centre[i] * m_zoom - bars[i]->pageStep() / 2.0));
    MessageBuffer quiet; // a zoom that cannot be kept is still shown
    bFunSqlSettingWriteValue(quiet, kZoomKey, m_zoom);
    describePreview(-1);
}

QSize TFGlowna::previewPageSize()
{
    return m_image->pixmap().isNull() ? previewBackgroundSize() : m_image->pixmap().size();
}

void TFGlowna::applyZoom()
{
    m_image->setScaledContents(true);
    m_image->resize(previewPageSize() * m_zoom / 100);
}

void TFGlowna::PowiekszClick()
{
    const auto* next = std::upper_bound(std::begin(kSteps), std::end(kSteps), m_zoom);
    setPreviewZoom(next == std::end(kSteps) ? kMaxZoom : *next);
}

void TFGlowna::PomniejszClick()
{
    const auto* below = std::lower_bound(std::begin(kSteps), std::end(kSteps), m_zoom);
    setPreviewZoom(below == std::begin(kSteps) ? kMinZoom : *std::prev(below));
}

void TFGlowna::RzeczywistyRozmiarClick()
{
    setPreviewZoom(100);
}

void TFGlowna::DopasujDoSzerokosciClick()
{
    // The width the view has once its vertical scroll bar is shown, which a fitted page needs.
    const int room =
        m_scroll->viewport()->width() -
        (m_scroll->verticalScrollBar()->isVisible() ? 0 : m_scroll->verticalScrollBar()->sizeHint().width());
    const int page = previewPageSize().width();
    if (page > 0 && room > 0)
        setPreviewZoom(room * 100 / page);
}

void TFGlowna::describePreview(int documentType)
{
    if (documentType >= 0) {
        const QString student = selectedStudentCaption();
        m_previewSubject =
            (documentType == 0 ? kTransferNotice : kAdmissionConfirmation) +
            (student.isEmpty() ? QStringLiteral(", pusty druk") : QStringLiteral(", uczeń: ") + student);
    }
    const QString text =
        m_previewSubject + QStringLiteral(", powiększenie ") + QString::number(m_zoom) + QLatin1Char('%');
    m_image->setAccessibleDescription(text);
    m_scroll->setAccessibleDescription(text);
}
