#include "tools/art_files.h"

#include "tools/artwork.h"
#include "tools/gif_encoder.h"
#include "tools/sound_synth.h"
#include "tools/wav_writer.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

namespace brisa::art {

namespace {

std::string Jpeg(const QImage& pImage) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(92);
    if (!writer.write(pImage.convertToFormat(QImage::Format_RGB32)))
        return {};
    return buffer.data().toStdString();
}

std::string Gif(const Animation& pAnimation) {
    return EncodeAnimation(pAnimation.frames, pAnimation.delaysCs);
}

} // namespace

std::vector<std::string> ArtFileNames() {
    std::vector<std::string> names = {
        "skins/frmMM.jpg",  "logo.gif",         "zovid.gif",
        "brisa_banner.gif", "sounds/click.wav", "sounds/swoosh.wav",
        "sounds/start.wav", "sounds/exit.wav",  "sounds/error.wav",
        "skins/frmOutlook.jpg", "skins/frmOptions.jpg", "skins/frmAddresses.jpg",
        "00000407/zovid.gif", "00000407/brisa_banner.gif"};
    for (const HouseAd& ad : HouseAdPictures()) names.push_back(ad.file);
    return names;
}

std::string ArtFileBytes(const std::string& pName) {
    if (pName == "skins/frmMM.jpg")
        return Jpeg(DrawMainSkin());
    if (pName == "logo.gif")
        return Gif(LogoAnimation(DrawMainSkin()));
    if (pName == "zovid.gif")
        return Gif(ZovidAnimation(DrawMainSkin()));
    if (pName == "brisa_banner.gif")
        return Gif(BannerAnimation());
    if (pName == "00000407/zovid.gif")
        return Gif(ZovidAnimation(DrawMainSkin(), true));
    if (pName == "00000407/brisa_banner.gif")
        return Gif(BannerAnimation(true));
    if (pName == "sounds/click.wav")
        return EncodeWav(ClickSound(), kSoundRate);
    if (pName == "sounds/swoosh.wav")
        return EncodeWav(SwooshSound(), kSoundRate);
    if (pName == "sounds/start.wav")
        return EncodeWav(StartSound(), kSoundRate);
    if (pName == "sounds/exit.wav")
        return EncodeWav(ExitSound(), kSoundRate);
    if (pName == "sounds/error.wav")
        return EncodeWav(ErrorSound(), kSoundRate);
    if (pName == "skins/frmOutlook.jpg")
        return Jpeg(DrawOutlookSkin());
    if (pName == "skins/frmOptions.jpg")
        return Jpeg(DrawOptionsSkin());
    if (pName == "skins/frmAddresses.jpg")
        return Jpeg(DrawAddressesSkin());
    for (const HouseAd& ad : HouseAdPictures())
        if (pName == ad.file)
            return Gif(HouseAdAnimation(ad));
    return {};
}

bool WriteArtFiles(const std::string& pFolder, std::string& pError) {
    const QDir folder(QString::fromStdString(pFolder));
    for (const std::string& name : ArtFileNames()) {
        const QString path = folder.filePath(QString::fromStdString(name));
        const std::string bytes = ArtFileBytes(name);
        if (bytes.empty()) {
            pError = name + ": could not be encoded";
            return false;
        }
        if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
            pError = path.toStdString() + ": cannot create the folder";
            return false;
        }
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
                static_cast<qint64>(bytes.size()) ||
            !file.commit()) {
            pError = path.toStdString() + ": " + file.errorString().toStdString();
            return false;
        }
    }
    return true;
}

} // namespace brisa::art
