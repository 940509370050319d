// The animated-picture control: shows a GIF file, animates it on request
// and reports clicks. The picture keeps its natural size.
#pragma once

#include <QLabel>
#include <memory>
#include <string>

class QMovie;

namespace brisa {

class cAniGif : public QLabel {
    Q_OBJECT
public:
    explicit cAniGif(QWidget* pParent = nullptr);
    ~cAniGif() override;

    // Loads a picture file; false (and the old picture stays) when the file
    // cannot be read as a picture.
    bool LoadFile(const std::string& pPath);
    void Start();
    void Stop();
    // Shows frame pNumber (1 is the first frame).
    void SetFrame(int pNumber);
    bool IsRunning() const;
    int CurrentFrame() const; // 1-based; 0 without a picture
    const std::string& FileName() const { return m_File; }

    // Free text the program keeps with the control (the advertising marker).
    std::string Tag;

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* pEvent) override;

private:
    std::unique_ptr<QMovie> m_Movie;
    std::string m_File;
    bool m_Playing = false; // between Start and Stop
};

} // namespace brisa
