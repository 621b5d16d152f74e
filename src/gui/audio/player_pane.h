#pragma once

#include <QTimer>
#include <QWidget>
#include <chrono>
#include <memory>

#include "core/lists/player_session.h"

class QLabel;
class QPushButton;
class QSlider;
class WaveformView;

// The built-in player docked under the list windows: play/pause, the seek bar with position
// and length, the waveform of the message and a line naming it (or why nothing plays).
class PlayerPane : public QWidget {
    Q_OBJECT
public:
    PlayerPane(voxmg::player::AudioSink& sink, voxmg::player::PlayerSession::MarkPlayed markPlayed,
               QWidget* parent = nullptr);
    ~PlayerPane() override;

    voxmg::player::PlayerSession& session() { return *m_session; }
    void setGain(int gainSetting) { m_session->setGain(gainSetting); }

    // The selected row's message, with the line that names it ("box  date  caller").
    void showMessage(const voxmg::player::Message& message, const QString& caption);
    // Nothing to play; `why` says what was selected instead (an empty response slot), else
    // the pane asks for a message.
    void clearMessage(const QString& why = {});
    void togglePlay();
    void seekBy(std::chrono::milliseconds delta);

    QString statusText() const;
    const QString& caption() const { return m_captionText; }
    QPushButton* playButton() const { return m_play; }
    QSlider* seekBar() const { return m_seek; }
    WaveformView* waveformView() const { return m_wave; }

    // What the timer does, for tests that do not wait for it.
    void tick();

signals:
    // The message's record now says played on the PC.
    void marked(const QString& path);

private:
    void showState();

    std::unique_ptr<voxmg::player::PlayerSession> m_session;
    QPushButton* m_play;
    QSlider* m_seek;
    QLabel* m_time;
    QLabel* m_caption;
    QLabel* m_status;
    WaveformView* m_wave;
    QTimer m_timer;
    QString m_captionText;
    QString m_emptyText;  // what the pane says while it shows no message
    bool m_dragging = false;
    bool m_wasMarked = false;
};

// The message's peaks with the play position; a click seeks there.
class WaveformView : public QWidget {
    Q_OBJECT
public:
    explicit WaveformView(QWidget* parent = nullptr);
    void setPeaks(const std::vector<std::uint16_t>& peaks);
    void setProgress(double fraction);
    bool hasPeaks() const { return !m_peaks.empty(); }
    QSize sizeHint() const override { return {400, 64}; }

signals:
    void seekRequested(double fraction);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::vector<std::uint16_t> m_peaks;
    double m_progress = 0;
};
