// The photo pipeline through CImageCtrl: orientation, turns, resize, the deferred decode
// against the straightforward one, comment fields and the two save formats.
#include "CommentFields.h"
#include "SamplePictures.h"
#include "imaging/ImageCtrl.h"
#include "imaging/ImagingWidget.h"

#include <exiv2/exiv2.hpp>
#include <turbojpeg.h>

#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTransform>
#include <QtTest>

#include <set>

using namespace imaging;

namespace {

QImage readBack(const QString& path)
{
    QImageReader reader(path);
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

Exiv2::ExifData exifOf(const QString& path)
{
    auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    image->readMetadata();
    return image->exifData();
}

std::string exifText(const Exiv2::ExifData& exif, const char* key)
{
    const auto found = exif.findKey(Exiv2::ExifKey(key));
    return found == exif.end() ? std::string("<absent>") : found->toString();
}

// The stored pixels of an upright picture, as a camera held with this orientation keeps them.
QImage storedFor(const QImage& upright, int orientation)
{
    switch (orientation) {
    case 3:
        return upright.transformed(QTransform().rotate(180));
    case 6:
        return upright.transformed(QTransform().rotate(-90));
    case 8:
        return upright.transformed(QTransform().rotate(90));
    default:
        return upright;
    }
}

} // namespace

class ImagingPipelineTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_folder.isValid()); }

    // Guards against orientation read from the wrong place (or turned into the pixels) on real
    // camera files, and sizes that do not follow the file.
    void cameraShotsReportTheirOrientation_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::newRow("1") << 1;
        QTest::newRow("3") << 3;
        QTest::newRow("6") << 6;
        QTest::newRow("8") << 8;
    }
    void cameraShotsReportTheirOrientation()
    {
        QFETCH(int, orientation);
        QTemporaryDir folder;
        const QString shot = samples::shootWithSimulatedCamera(folder.path(), orientation, 640, 480);
        QVERIFY(!shot.isEmpty());
        CImageCtrl control(nullptr, QRect(0, 0, 320, 240), 1057);
        QCOMPARE(control.LoadFile(shot), status::Ok);
        QCOMPARE(control.GetExifOrientation(), static_cast<int16_t>(orientation));
        QCOMPARE(control.GetImageWidth(), 640.0F);
        QCOMPARE(control.GetImageHeight(), 480.0F);
        QCOMPARE(control.GetCommentField(shot, 0, 0).toString(), std::string("Vesk"));
    }

    // Guards against turning the wrong way: the dialog's turns for 3, 6 and 8 must give the
    // upright picture back, with the red block top-left and the blue one top-right.
    void orientationTurnsMakePicturesUpright_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::newRow("1") << 1;
        QTest::newRow("3") << 3;
        QTest::newRow("6") << 6;
        QTest::newRow("8") << 8;
    }
    void orientationTurnsMakePicturesUpright()
    {
        QFETCH(int, orientation);
        const QImage upright = samples::detailedPicture(160, 240, 7);
        const QString path = m_folder.filePath(QStringLiteral("oriented%1.jpg").arg(orientation));
        QVERIFY(samples::writeFile(path, samples::jpegWithExif(storedFor(upright, orientation), 95, orientation)));

        CImageCtrl control(nullptr, QRect(0, 0, 200, 200), 1057);
        QCOMPARE(control.LoadFile(path), status::Ok);
        const int turn = orientation == 3 ? 180 : orientation == 6 ? 270 : orientation == 8 ? 90 : 0;
        if (turn != 0)
            QCOMPARE(control.Rotate(static_cast<int16_t>(turn)), status::Ok);
        QCOMPARE(control.GetImageWidth(), 160.0F);
        QCOMPARE(control.GetImageHeight(), 240.0F);
        const QImage result = control.control().picture();
        // Compared smoothed: the noise of the detail does not survive JPEG's chroma halving.
        const auto smoothed = [](const QImage& image) { return image.scaled(16, 24, Qt::IgnoreAspectRatio, Qt::SmoothTransformation); };
        QVERIFY(samples::meanAbsoluteDifference(smoothed(result), smoothed(upright)) < 4.0);
        QVERIFY(qRed(result.pixel(5, 5)) > 180 && qBlue(result.pixel(5, 5)) < 80);
        QVERIFY(qBlue(result.pixel(154, 5)) > 180 && qRed(result.pixel(154, 5)) < 80);
    }

    // Guards against a resize that loses the aspect or is done before the turn it must follow,
    // and against turns that do not add up (270 + 90 is no turn, 90 + 90 is 180).
    void turnsAddUpAndResizeKeepsTheAspect()
    {
        const QString path = m_folder.filePath(QStringLiteral("landscape.jpg"));
        QVERIFY(samples::writeFile(path, samples::jpegWithExif(samples::detailedPicture(1200, 800, 3), 92, 6)));
        CImageCtrl control(nullptr, QRect(0, 0, 300, 300), 1057);
        QCOMPARE(control.LoadFile(path), status::Ok);
        QCOMPARE(control.Rotate(270), status::Ok);
        QCOMPARE(control.GetImageWidth(), 800.0F);
        QCOMPARE(control.Rotate(90), status::Ok);
        QCOMPARE(control.GetImageWidth(), 1200.0F);
        QCOMPARE(control.Resize(450.0F, 300.0F, 2), status::Ok);
        QCOMPARE(control.GetImageWidth(), 450.0F);
        QCOMPARE(control.GetImageHeight(), 300.0F);
        QCOMPARE(control.Rotate(90), status::Ok);
        QCOMPARE(control.Rotate(90), status::Ok);
        const QImage result = control.control().picture();
        QCOMPARE(result.size(), QSize(450, 300));
        const QImage expected = samples::detailedPicture(1200, 800, 3)
                                    .scaled(450, 300, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                    .transformed(QTransform().rotate(180));
        QVERIFY(samples::meanAbsoluteDifference(result, expected) < 6.0);
        QCOMPARE(control.Rotate(45), status::InvalidArgument);
        QCOMPARE(control.Resize(0.0F, 300.0F, 2), status::Ok);
        QCOMPARE(control.GetImageWidth(), 1.0F);
    }

    // Guards against the deferred, reduced-scale path drifting from the straightforward one:
    // same size, same orientation, same content within JPEG noise.
    void deferredPipelineMatchesTheStraightforwardOne()
    {
        const QString source = m_folder.filePath(QStringLiteral("detailed.jpg"));
        QVERIFY(samples::writeFile(source, samples::jpegWithExif(samples::detailedPicture(1500, 1000, 11), 92, 6)));
        const QString fast = m_folder.filePath(QStringLiteral("fast.jpg"));
        const QString naive = m_folder.filePath(QStringLiteral("naive.jpg"));
        CImageCtrl control(nullptr, QRect(0, 0, 400, 300), 1057);
        QCOMPARE(samples::widgetPipeline(control, source, 90, 400, fast, 20), status::Ok);
        QVERIFY(samples::naivePipeline(source, 90, 400, naive, 80));

        const QImage fastImage = readBack(fast);
        const QImage naiveImage = readBack(naive);
        QCOMPARE(fastImage.size(), QSize(600, 400));
        QCOMPARE(fastImage.size(), naiveImage.size());
        const double difference = samples::meanAbsoluteDifference(fastImage, naiveImage);
        QVERIFY2(difference <= 3.0, qPrintable(QStringLiteral("mean difference %1").arg(difference)));
        QCOMPARE(exifText(exifOf(fast), "Exif.Image.Orientation"), std::string("1"));
    }

    // Guards against format 98 dropping the copied fields or keeping the source's orientation
    // and size (viewers would turn the picture twice), and against format 23 carrying EXIF.
    void format98CarriesTheFieldsAnd23DoesNot()
    {
        QTemporaryDir folder;
        const QString shot = samples::shootWithSimulatedCamera(folder.path(), 6, 640, 480);
        QVERIFY(!shot.isEmpty());
        const QString with = m_folder.filePath(QStringLiteral("with.jpg"));
        const QString without = m_folder.filePath(QStringLiteral("without.jpg"));
        CImageCtrl control(nullptr, QRect(0, 0, 400, 300), 1057);
        QCOMPARE(samples::widgetPipeline(control, shot, 0, 400, with, 20), status::Ok);
        QCOMPARE(control.SaveFile(without, 23, 0, 20, 0), status::Ok);

        const Exiv2::ExifData source = exifOf(shot);
        const Exiv2::ExifData saved = exifOf(with);
        for (const char* key : {"Exif.Image.Make", "Exif.Image.Model", "Exif.Photo.ExposureTime", "Exif.Photo.FNumber",
                                "Exif.Photo.ISOSpeedRatings", "Exif.Photo.DateTimeOriginal", "Exif.Image.DateTime"}) {
            QCOMPARE(exifText(saved, key), exifText(source, key));
            QVERIFY(exifText(saved, key) != "<absent>");
        }
        QCOMPARE(exifText(saved, "Exif.Image.Orientation"), std::string("1"));
        QCOMPARE(exifText(saved, "Exif.Photo.PixelXDimension"), std::string("300"));
        QCOMPARE(exifText(saved, "Exif.Photo.PixelYDimension"), std::string("400"));
        QCOMPARE(readBack(with).size(), QSize(300, 400));
        QVERIFY(exifOf(without).empty());
        QCOMPARE(readBack(without).size(), QSize(300, 400));
    }

    // Guards against one EXIF parse per field read (179 per picture) and against a cache that
    // keeps answering for a file that has changed.
    void fieldsAreParsedOncePerFileVersion()
    {
        const auto& keys = commentFieldKeys();
        std::set<std::string> distinct;
        for (const char* key : keys) {
            QVERIFY_THROWS_NO_EXCEPTION(Exiv2::ExifKey{key});
            distinct.insert(key);
        }
        QCOMPARE(distinct.size(), keys.size());

        const QString path = m_folder.filePath(QStringLiteral("fields.jpg"));
        QVERIFY(samples::writeFile(path, samples::jpegWithExif(samples::detailedPicture(64, 48), 90, 1)));
        CImageCtrl control(nullptr, QRect(0, 0, 100, 100), 1);
        const std::size_t before = ExifCache::instance().fileParseCount();
        for (int16_t field = 0; field < CommentFieldCount; ++field)
            control.GetCommentField(path, 0, field);
        QCOMPARE(ExifCache::instance().fileParseCount(), before + 1);
        QCOMPARE(control.GetCommentField(path, 0, 1).toString(), std::string("Vesk Test Body"));

        Exiv2::ExifData changed = exifOf(path);
        changed["Exif.Image.Model"] = "Another Body";
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->setExifData(changed);
        image->writeMetadata();
        QCOMPARE(control.GetCommentField(path, 0, 1).toString(), std::string("Another Body"));
        QVERIFY(control.GetCommentField(path, 0, 150).isEmpty());
        QVERIFY(control.GetCommentField(path, 1, 1).isEmpty());
        QVERIFY(control.GetCommentField(path, 0, CommentFieldCount).isEmpty());
    }

    // Guards against values the tag cannot hold reaching the saved file, against an empty
    // variant not removing a field, and against fields surviving into the next picture.
    void fieldValuesAreCheckedAndBelongToOnePicture()
    {
        const QString path = m_folder.filePath(QStringLiteral("plain.jpg"));
        QVERIFY(samples::writeFile(path, samples::jpegWithExif(samples::detailedPicture(64, 48), 90, 0)));
        const QString saved = m_folder.filePath(QStringLiteral("plain-saved.jpg"));
        CImageCtrl control(nullptr, QRect(0, 0, 100, 100), 1);
        QCOMPARE(control.LoadFile(path), status::Ok);
        control.SetCommentField(0, automation::Variant("Maker"));
        control.SetCommentField(10, automation::Variant(int32_t{400}));                 // ISO
        control.SetCommentField(7, automation::Variant("1/250"));                       // exposure time
        control.SetCommentField(8, automation::Variant("not a fraction"));              // f-number
        control.SetCommentField(1, automation::Variant("Model"));
        control.SetCommentField(1, automation::Variant());
        QCOMPARE(control.SaveFile(saved, 98, 0, 20, 0), status::Ok);
        const Exiv2::ExifData exif = exifOf(saved);
        QCOMPARE(exifText(exif, "Exif.Image.Make"), std::string("Maker"));
        QCOMPARE(exifText(exif, "Exif.Photo.ISOSpeedRatings"), std::string("400"));
        QCOMPARE(exifText(exif, "Exif.Photo.ExposureTime"), std::string("1/250"));
        QCOMPARE(exifText(exif, "Exif.Photo.FNumber"), std::string("<absent>"));
        QCOMPARE(exifText(exif, "Exif.Image.Model"), std::string("<absent>"));

        QCOMPARE(control.LoadFile(path), status::Ok);
        QCOMPARE(control.SaveFile(saved, 98, 0, 20, 0), status::Ok);
        QCOMPARE(exifText(exifOf(saved), "Exif.Image.Make"), std::string("<absent>"));

        // With FieldsFromFile on, a load takes the file's own fields.
        const QString withExif = m_folder.filePath(QStringLiteral("with-exif.jpg"));
        QVERIFY(samples::writeFile(withExif, samples::jpegWithExif(samples::detailedPicture(64, 48), 90, 6)));
        control.SetFieldsFromFile(true);
        QCOMPARE(control.LoadFile(withExif), status::Ok);
        QCOMPARE(control.SaveFile(saved, 98, 0, 20, 0), status::Ok);
        QCOMPARE(exifText(exifOf(saved), "Exif.Photo.LensModel"), std::string("Vesk 50mm"));
        QCOMPARE(exifText(exifOf(saved), "Exif.Image.Orientation"), std::string("1"));
    }

    // Guards against the quality factor being used as JPEG quality directly (level 20 must
    // give quality 80) and against unclamped levels.
    void compressionLevelBecomesJpegQuality()
    {
        const QString path = m_folder.filePath(QStringLiteral("quality.jpg"));
        QVERIFY(samples::writeFile(path, samples::jpegWithExif(samples::detailedPicture(320, 240, 5), 95, 0)));
        CImageCtrl control(nullptr, QRect(0, 0, 100, 100), 1);
        QCOMPARE(control.LoadFile(path), status::Ok);
        const QImage pixels = control.control().picture();
        const auto sizeAt = [&](int16_t level) {
            const QString target = m_folder.filePath(QStringLiteral("level%1.jpg").arg(level));
            return control.SaveFile(target, 23, 0, level, 0) == status::Ok ? QFileInfo(target).size() : -1;
        };
        const auto encodedSizeAt = [&](int quality) {
            tjhandle encoder = tjInitCompress();
            unsigned char* buffer = nullptr;
            unsigned long size = 0;
            tjCompress2(encoder, pixels.constBits(), pixels.width(), static_cast<int>(pixels.bytesPerLine()),
                        pixels.height(), TJPF_BGRX, &buffer, &size, TJSAMP_420, quality, 0);
            tjFree(buffer);
            tjDestroy(encoder);
            return static_cast<qint64>(size);
        };
        QCOMPARE(sizeAt(20), encodedSizeAt(80));
        QCOMPARE(sizeAt(90), encodedSizeAt(10));
        QCOMPARE(sizeAt(-40), encodedSizeAt(100));
        QCOMPARE(sizeAt(150), encodedSizeAt(1));
    }

    // Guards against a failed save reported as success or destroying the file it replaces.
    void failedSavesReportAndKeepTheOldFile()
    {
        const QString path = m_folder.filePath(QStringLiteral("keep.jpg"));
        QVERIFY(samples::writeFile(path, samples::jpegWithExif(samples::detailedPicture(64, 48), 90, 1)));
        const QByteArray original = [&] { QFile file(path); file.open(QIODevice::ReadOnly); return file.readAll(); }();
        CImageCtrl control(nullptr, QRect(0, 0, 100, 100), 1);
        QCOMPARE(control.SaveFile(path, 23, 0, 20, 0), status::NoImage);
        QCOMPARE(control.LoadFile(path), status::Ok);
        QCOMPARE(control.SaveFile(m_folder.filePath(QStringLiteral("missing/x.jpg")), 23, 0, 20, 0), status::WriteFailed);
        QCOMPARE(control.SaveFile(path, 7, 0, 20, 0), status::Unsupported);
        QCOMPARE(control.SaveFile(path, 23, 8, 20, 0), status::Unsupported);
        QCOMPARE(control.SaveFile(path, 23, 0, 20, 1), status::Unsupported);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), original);
    }

private:
    QTemporaryDir m_folder;
};

QTEST_MAIN(ImagingPipelineTest)
#include "ImagingPipelineTest.moc"
