#include "skin/anigif.h"

#include <QMouseEvent>
#include <QMovie>

namespace brisa {

cAniGif::cAniGif(QWidget* pParent) : QLabel(pParent) {
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

cAniGif::~cAniGif() {
    setMovie(nullptr);
}

bool cAniGif::LoadFile(const std::string& pPath) {
    auto movie = std::make_unique<QMovie>(QString::fromStdString(pPath));
    // Caching first: a frame read before it is switched on never enters the
    // cache, and a movie without its first frame cannot go round again.
    movie->setCacheMode(QMovie::CacheAll);
    if (!movie->isValid() || movie->frameCount() == 0 || !movie->jumpToFrame(0)) return false;
    // Every picture goes round until it is stopped, also one whose file
    // asks to be played only so many times. It starts again from the event
    // loop, not from inside the movie's own signal: a picture whose later
    // frames cannot be read ends again at once. Such a picture stops at
    // the last frame it could read.
    connect(movie.get(), &QMovie::error, this, [this] { m_Playing = false; });
    connect(
        movie.get(), &QMovie::finished, this,
        [this] {
            if (m_Playing && m_Movie && m_Movie->state() == QMovie::NotRunning) m_Movie->start();
        },
        Qt::QueuedConnection);
    setMovie(nullptr);
    m_Playing = false;
    m_Movie = std::move(movie);
    m_File = pPath;
    setMovie(m_Movie.get());
    return true;
}

void cAniGif::Start() {
    m_Playing = m_Movie != nullptr;
    if (m_Movie && m_Movie->state() != QMovie::Running) m_Movie->start();
}

void cAniGif::Stop() {
    m_Playing = false;
    if (m_Movie) m_Movie->setPaused(true);
    if (m_Movie && m_Movie->state() != QMovie::NotRunning) m_Movie->stop();
}

void cAniGif::SetFrame(int pNumber) {
    if (!m_Movie) return;
    const int target = std::max(pNumber, 1) - 1;
    if (m_Movie->currentFrameNumber() == target || m_Movie->jumpToFrame(target)) return;
    // GIF frames can only be read forwards: read the picture again from its
    // start up to the frame wanted.
    m_Movie->stop();
    m_Movie->setFileName(m_Movie->fileName());
    for (int i = 0; i <= target; ++i)
        if (!m_Movie->jumpToNextFrame()) break;
}

bool cAniGif::IsRunning() const { return m_Movie && m_Movie->state() == QMovie::Running; }

int cAniGif::CurrentFrame() const { return m_Movie ? m_Movie->currentFrameNumber() + 1 : 0; }

void cAniGif::mouseReleaseEvent(QMouseEvent* pEvent) {
    if (pEvent->button() == Qt::LeftButton && rect().contains(pEvent->position().toPoint()))
        Q_EMIT clicked();
    QLabel::mouseReleaseEvent(pEvent);
}

} // namespace brisa
