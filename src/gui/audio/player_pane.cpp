#include "gui/audio/player_pane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "core/audio/voice_pcm.h"
#include "gui/base/qt_text.h"

using voxmg::player::PaneState;

namespace {

QString clockText(std::chrono::milliseconds t) {
    const long long s = t.count() / 1000;
    return QStringLiteral("%1:%2").arg(s / 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

PlayerPane::PlayerPane(voxmg::player::AudioSink& sink, voxmg::player::PlayerSession::MarkPlayed markPlayed,
                       QWidget* parent)
    : QWidget(parent),
      m_session(std::make_unique<voxmg::player::PlayerSession>(sink, std::move(markPlayed))),
      m_play(new QPushButton(this)),
      m_seek(new QSlider(Qt::Horizontal, this)),
      m_time(new QLabel(this)),
      m_caption(new QLabel(this)),
      m_status(new QLabel(this)),
      m_wave(new WaveformView(this)) {
    setObjectName(QStringLiteral("playerPane"));
    // Keys belong to the list: the pane's controls are for the mouse.
    m_play->setFocusPolicy(Qt::NoFocus);
    m_seek->setFocusPolicy(Qt::NoFocus);
    m_play->setMinimumWidth(96);
    m_time->setMinimumWidth(m_time->fontMetrics().horizontalAdvance(QStringLiteral("00:00 / 00:00")) + 8);
    m_caption->setTextFormat(Qt::PlainText);
    m_status->setTextFormat(Qt::PlainText);

    auto* controls = new QHBoxLayout;
    controls->addWidget(m_play);
    controls->addWidget(m_seek, 1);
    controls->addWidget(m_time);
    auto* info = new QHBoxLayout;
    info->addWidget(m_caption, 1);
    info->addWidget(m_status);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 4, 6, 4);
    column->addLayout(controls);
    column->addWidget(m_wave, 1);
    column->addLayout(info);

    connect(m_play, &QPushButton::clicked, this, &PlayerPane::togglePlay);
    connect(m_seek, &QSlider::sliderPressed, this, [this] { m_dragging = true; });
    connect(m_seek, &QSlider::sliderReleased, this, [this] {
        m_dragging = false;
        m_session->seekTo(std::chrono::milliseconds(m_seek->value()));
        tick();
    });
    connect(m_wave, &WaveformView::seekRequested, this, [this](double fraction) {
        const auto length = m_session->length();
        m_session->seekTo(
            std::chrono::milliseconds(static_cast<long long>(fraction * double(length.count()))));
        tick();
    });
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, &PlayerPane::tick);
    showState();
}

PlayerPane::~PlayerPane() = default;

void PlayerPane::showMessage(const voxmg::player::Message& message, const QString& caption) {
    const bool same = message == m_session->message() && m_session->state() != PaneState::Empty;
    m_captionText = caption;
    m_caption->setText(caption);
    if (same) {
        return;
    }
    m_emptyText.clear();
    m_session->select(message);
    m_wasMarked = false;
    m_wave->setPeaks({});
    m_timer.start();
    tick();
}

void PlayerPane::clearMessage(const QString& why) {
    m_emptyText = why;
    m_session->clear();
    m_captionText.clear();
    m_caption->clear();
    m_wave->setPeaks({});
    m_timer.stop();
    showState();
}

void PlayerPane::togglePlay() {
    m_session->togglePlay();
    m_timer.start();
    tick();
}

void PlayerPane::seekBy(std::chrono::milliseconds delta) {
    m_session->seekBy(delta);
    tick();
}

void PlayerPane::tick() {
    // While the frame is disabled an operation owns the message files: the played mark and
    // the end of the playback wait until it is over.
    if (!isEnabled()) {
        return;
    }
    m_session->poll();
    if (m_session->waveformReady() && !m_wave->hasPeaks()) {
        m_wave->setPeaks(m_session->waveform());
    }
    if (m_session->marked() && !m_wasMarked) {
        m_wasMarked = true;
        emit marked(QString::fromStdString(m_session->message().path));
    }
    showState();
    // The timer runs while something moves: playback, or the waveform still being made.
    const PaneState state = m_session->state();
    const bool loading =
        (state == PaneState::Ready || state == PaneState::Paused) && !m_session->waveformReady();
    if (state != PaneState::Playing && !loading) {
        m_timer.stop();
    }
}

void PlayerPane::showState() {
    const PaneState state = m_session->state();
    const bool playing = state == PaneState::Playing;
    m_play->setText(playing ? QStringLiteral("一時停止") : QStringLiteral("再生"));
    m_play->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    const bool loaded = state == PaneState::Ready || playing || state == PaneState::Paused ||
                        state == PaneState::Ended || state == PaneState::NoDevice;
    m_play->setEnabled(loaded);
    m_seek->setEnabled(loaded);
    const auto length = m_session->length();
    const auto position = std::min(m_session->position(), length);
    m_seek->setRange(0, static_cast<int>(length.count()));
    if (!m_dragging) {
        m_seek->setValue(static_cast<int>(position.count()));
    }
    m_time->setText(loaded ? clockText(position) + QStringLiteral(" / ") + clockText(length) : QString());
    m_wave->setProgress(length.count() > 0 ? double(position.count()) / double(length.count()) : 0);
    m_status->setText(statusText());
}

QString PlayerPane::statusText() const {
    const PaneState state = m_session->state();
    if (state == PaneState::Empty && !m_emptyText.isEmpty()) {
        return m_emptyText;
    }
    const auto text = voxmg::player::stateText(state);
    if (!text.empty()) {
        return toQ(text);
    }
    if (m_session->marked()) {
        return QStringLiteral("再生済");
    }
    return {};
}

WaveformView::WaveformView(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(48);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void WaveformView::setPeaks(const std::vector<std::uint16_t>& peaks) {
    m_peaks = peaks;
    update();
}

void WaveformView::setProgress(double fraction) {
    fraction = std::clamp(fraction, 0.0, 1.0);
    if (fraction != m_progress) {
        m_progress = fraction;
        update();
    }
}

void WaveformView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect().adjusted(0, 1, -1, -1);
    p.fillRect(r, palette().base());
    p.setPen(palette().mid().color());
    p.drawRect(r);
    const int w = r.width() - 1;
    const int mid = r.center().y();
    const int half = r.height() / 2 - 2;
    const int played = static_cast<int>(m_progress * w);
    if (!m_peaks.empty() && w > 0) {
        // One line per pixel.
        const QColor ahead = palette().text().color();
        const QColor behind = palette().highlight().color();
        const std::vector<std::uint16_t> columns =
            voxmg::audio::foldPeaks(m_peaks, static_cast<std::size_t>(w));
        for (int x = 0; x < w; ++x) {
            const std::uint16_t peak = columns[static_cast<std::size_t>(x)];
            const int h = std::max(1, static_cast<int>(double(peak) / 32768.0 * half));
            p.setPen(x < played ? behind : ahead);
            p.drawLine(r.left() + 1 + x, mid - h, r.left() + 1 + x, mid + h);
        }
    }
    p.setPen(palette().highlight().color());
    p.drawLine(r.left() + 1 + played, r.top() + 1, r.left() + 1 + played, r.bottom() - 1);
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && width() > 2) {
        emit seekRequested(double(event->position().x()) / double(width() - 2));
    }
}
