// tavren-picgen OUTDIR: draws every picture of the catalogue as OUTDIR/<id>.png, the
// window chrome pictures, each again at 2x (<id>@2x.png), and
// OUTDIR/pictures.qrc listing them all; beside them the
// desktop icons (desktop-icon-<px>.png, desktop-icon.svg), which are not embedded. The same program
// always writes the same bytes: no clock, no unseeded randomness, one fixed font.

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSaveFile>
#include <QTextStream>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "chat/bubbles.h"
#include "paint.h"
#include "picgen.h"
#include "view/catalogue.h"
#include "view/scene.h"

namespace {

QString caption(const char16_t* text) {
  return QString::fromUtf16(text);
}

// The densities drawn; the window scales the nearest one at or above its own down.
// A 3x set would add about 4.5 MB to the program, more than the 2x set's 2.8 MB,
// for screens that are rare on desktops: they get the 2x set, enlarged.
constexpr int kDensities[] = {1, 2};

// The nine control-bar buttons, in catalogue order.
const char16_t* const kBarCaptions[] = {u"聊天", u"开始", u"继续", u"设置", u"隐藏",
                                        u"战绩", u"历史", u"规则", u"退出"};

QImage drawCatalogue(int id, QSize size) {
  using namespace picgen;
  if (id == 101 || id == 102) return drawControlButton(caption(u"发送"), id == 102, size);
  if (id >= 103 && id <= 120)
    return drawControlButton(caption(kBarCaptions[(id - 103) / 2]), (id - 103) % 2 == 1, size);
  if (id >= 381 && id <= 398)
    return drawControlButton(caption(kBarCaptions[(id - 381) / 2]), (id - 381) % 2 == 1, size);
  if (id == 123) return drawLogo(size);
  if (id == 124 || id == 125) return drawBadge(id == 125, size);
  if (id >= 126 && id <= 129) return drawCompass(id - 126, size);
  if (id >= 130 && id <= 133)
    return drawDialogButton(caption(id < 132 ? u"确定" : u"取消"), (id - 130) % 2 == 1, size);
  if (id >= 134 && id <= 137) {
    static const char16_t* const kSwitch[] = {u"关闭", u"开启", u"普通话", u"Tavren话"};
    return drawSwitchButton(caption(kSwitch[id - 134]), id - 134, size);
  }
  if (id >= 141 && id <= 155) {
    static const char16_t* const kOps[] = {u"吃", u"碰", u"杠", u"胡", u"过"};
    return drawOperationButton(caption(kOps[(id - 141) / 3]), (id - 141) % 3, size);
  }
  if (id >= 161 && id <= 166) return drawDieFace(id - 160, size);
  if (id >= 167 && id <= 176) return drawTumblingDie(id - 167, size);
  if (id >= 183 && id <= 190) {
    static const char16_t* const kWords[] = {u"吃",     u"碰",     u"杠",   u"暗杠",
                                             u"红中杠", u"Qixo杠", u"开杠", u"胡"};
    return drawClaimWord(caption(kWords[id - 183]), size);
  }
  if (id >= 191 && id <= 200) return drawPortrait(id - 191, size);
  if (id >= 401 && id <= 410) return drawPortrait(id - 391, size);
  if (id >= 201 && id <= 380) return drawTile((id - 201) / 36, (id - 201) % 36, size);
  if (id >= 411 && id <= 414)
    return drawControlButton(caption(id < 413 ? u"扣牌" : u"放弃"), (id - 411) % 2 == 1, size);
  if (id >= 415 && id <= 417) return drawBubble(caption(u"扣牌"), id - 415, size);
  if (id >= 418 && id <= 420) return drawBubble(caption(u"跟庄"), id - 418, size);
  if (id == 421) return drawWildTile(4, size);
  if (id >= 422 && id <= 425) return drawWildTile(id - 422, size);
  if (id >= 426 && id <= 443) {
    static const char16_t* const kBubbles[] = {u"财神", u"吃听", u"", u"杠", u"胡", u"碰"};
    return drawBubble(caption(kBubbles[(id - 426) / 3]), (id - 426) % 3, size);
  }
  if (id == 444) return drawWildTile(1, size);
  if (id >= 445 && id <= 484) return drawFlowerTile((id - 445) / 8, (id - 445) % 8 + 1, size);
  return {};
}

bool save(const QImage& image, const QString& path) {
  // QSaveFile leaves an existing picture untouched if writing fails half-way.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (!image.save(&file, "PNG")) return false;
  return file.commit();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: tavren-picgen OUTDIR\n");
    return 2;
  }
  if (!picgen::cjkFontAvailable()) {
    std::fprintf(stderr, "tavren-picgen: the font \"WenQuanYi Micro Hei\" is not installed\n");
    return 1;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  if (!QDir().mkpath(out.absolutePath())) {
    std::fprintf(stderr, "tavren-picgen: cannot create %s\n", argv[1]);
    return 1;
  }

  std::vector<QString> files;
  const auto write = [&](const QImage& image, const QString& name) {
    if (image.isNull() || !save(image, out.filePath(name))) {
      std::fprintf(stderr, "tavren-picgen: cannot write %s\n", qPrintable(out.filePath(name)));
      std::exit(1);
    }
    files.push_back(name);
  };

  // Every picture at each density the window may draw at, each drawn afresh from
  // the same code: "N.png" at 1x, "N@2x.png" beside it.
  for (int density : kDensities) {
    picgen::setDensity(density);
    const QString at = density == 1 ? QString() : QStringLiteral("@%1x").arg(density);
    const auto name = [&](const QString& stem) { return stem + at + QStringLiteral(".png"); };
    for (int id : tavren::CatalogueIds()) {
      const auto size = tavren::PictureSize(id);
      const QSize want = QSize(size->w, size->h) * density;
      const QImage image = drawCatalogue(id, QSize(size->w, size->h));
      if (image.size() != want) {
        std::fprintf(stderr, "tavren-picgen: picture %d came out at the wrong size\n", id);
        return 1;
      }
      write(image, name(QString::number(id)));
    }
    write(picgen::drawSkin(QSize(1040, 796)), name(QStringLiteral("skin")));
    write(picgen::drawSkinPieces(), name(QStringLiteral("skin-pieces")));
    static const char* const kStates[] = {"normal", "hover", "pressed"};
    for (int state = 0; state < 3; ++state) {
      write(picgen::drawTitleButton(true, state),
            name(QStringLiteral("close-%1").arg(kStates[state])));
      write(picgen::drawTitleButton(false, state),
            name(QStringLiteral("min-%1").arg(kStates[state])));
    }
    write(picgen::drawIcon(64), name(QStringLiteral("icon")));
    write(picgen::drawCountdownFrame(QSize(81, 38)), name(QStringLiteral("countdown")));
    write(picgen::drawReadyMark(QSize(40, 40)), name(QStringLiteral("ready")));
    write(picgen::drawDealerMark(QSize(30, 30)), name(QStringLiteral("dealer")));
    write(picgen::drawWildFrame(QSize(80, 124)), name(QStringLiteral("wild-frame")));
    // The phrase bubbles, each round the box its side's phrase is written in.
    for (int side = 0; side < 4; ++side) {
      const tavren::BubblePlace& place = tavren::kBubblePlaces[side];
      const QRect text(place.textLeft / tavren::kTwipsPerPixel,
                       place.textTop / tavren::kTwipsPerPixel, place.textW, place.textH);
      write(picgen::drawSpeakBox(side, text, QSize(tavren::kSpeakBoxW, tavren::kSpeakBoxH)),
            name(QString::number(tavren::kSpeakBoxPics[side])));
    }
    // The phrase labels go by their scene ids, the name the window looks them up by.
    write(picgen::drawPhraseButton(caption(u"牌桌用语"), QSize(57, 13)),
          name(QString::number(tavren::kPicPhrases1)));
    write(picgen::drawPhraseButton(caption(u"问候用语"), QSize(57, 13)),
          name(QString::number(tavren::kPicPhrases2)));
  }
  picgen::setDensity(1);

  // The desktop's icons, installed by the package and not embedded: the window
  // icon's drawing at the icon theme's sizes, and as SVG.
  for (int px : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const QString name = QStringLiteral("desktop-icon-%1.png").arg(px);
    if (!save(picgen::drawIcon(px), out.filePath(name))) {
      std::fprintf(stderr, "tavren-picgen: cannot write %s\n", qPrintable(out.filePath(name)));
      return 1;
    }
  }
  QSaveFile svg(out.filePath(QStringLiteral("desktop-icon.svg")));
  if (!svg.open(QIODevice::WriteOnly) || svg.write(picgen::drawIconSvg()) < 0 || !svg.commit()) {
    std::fprintf(stderr, "tavren-picgen: cannot write desktop-icon.svg\n");
    return 1;
  }

  QSaveFile qrc(out.filePath(QStringLiteral("pictures.qrc")));
  if (!qrc.open(QIODevice::WriteOnly)) return 1;
  QTextStream ts(&qrc);
  ts << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/pics\">\n";
  for (const QString& f : files) ts << "  <file>" << f << "</file>\n";
  ts << "</qresource>\n</RCC>\n";
  ts.flush();
  return qrc.commit() ? 0 : 1;
}
