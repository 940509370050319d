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
    if (!movie->isValid() || movie->frameCount() == 0 || !movie->jumpToFrame(0)) return false;
    movie->setCacheMode(QMovie::CacheAll);
    setMovie(nullptr);
    m_Movie = std::move(movie);
    m_File = pPath;
    setMovie(m_Movie.get());
    return true;
}

void cAniGif::Start() {
    if (m_Movie && m_Movie->state() != QMovie::Running) m_Movie->start();
}

void cAniGif::Stop() {
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
