#pragma once
// The generator's drawing entry points, one per kind of picture.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace picgen {

// Tile pictures. orientation 0..4; position 0..35 of a 36-picture group
// (東南西北中發白, standing back, lying back, 1-9 条, 1-9 萬, 1-9 筒).
QImage drawTile(int orientation, int position, QSize size);
QImage drawWildTile(int orientation, QSize size);
QImage drawFlowerTile(int orientation, int flower, QSize size);

// Buttons, dice, compass, claim words, logo, badges, bubbles.
QImage drawControlButton(const QString& caption, bool highlighted, QSize size);
QImage drawDialogButton(const QString& caption, bool highlighted, QSize size);
QImage drawSwitchButton(const QString& caption, int variant, QSize size);
QImage drawOperationButton(const QString& caption, int state, QSize size);
QImage drawDieFace(int value, QSize size);
QImage drawTumblingDie(int frame, QSize size);
QImage drawCompass(int userSeat, QSize size);
QImage drawClaimWord(const QString& word, QSize size);
QImage drawLogo(QSize size);
QImage drawBadge(bool up, QSize size);
QImage drawBubble(const QString& word, int variant, QSize size);
// The phrase bubble of a side (0..3), its body enclosing the phrase's box `text`;
// keyed for a shaped window: outside the bubble fully transparent, inside opaque.
QImage drawSpeakBox(int side, QRect text, QSize size);

// Table widgets whose pictures are not in the catalogue.
QImage drawCountdownFrame(QSize size);
QImage drawReadyMark(QSize size);
QImage drawDealerMark(QSize size);
QImage drawWildFrame(QSize size);
// The two small labels that open the phrase lists.
QImage drawPhraseButton(const QString& caption, QSize size);

// Portraits 0..19: 0..9 men, 10..19 women.
QImage drawPortrait(int index, QSize size);

// Window chrome.
QImage drawSkin(QSize size);
QImage drawSkinPieces();
QImage drawTitleButton(bool close, int state);
QImage drawIcon(int px);
// The same icon as scalable SVG text.
QByteArray drawIconSvg();

}  // namespace picgen
