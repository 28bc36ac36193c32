// The record editor as designed: two panels side by side, the seven boxes
// with their shadows and Hebrew labels on the left, the title band and the
// buttons on the right.
#include "editor/FrmNewPhn.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>

#include "platform/ui/Decorations.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Icons.h"
#include "platform/ui/Twips.h"

namespace numora {
namespace {

// The designed client area.
constexpr int kClientWidthTwips = 6615;
constexpr int kClientHeightTwips = 4935;

const QColor kLightPink(255, 192, 192);
const QColor kLightYellow(255, 255, 192);
const QColor kLightOrange(255, 192, 128);
const QColor kPaleOrange(255, 224, 192);
const QColor kShadow(64, 64, 64);

void fill(QWidget* w, const QColor& back)
{
    w->setAutoFillBackground(true);
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, back);
    w->setPalette(pal);
}

QFrame* panel(QWidget* parent, int index, const QRect& place)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(QStringLiteral("Frame2"));
    frame->setProperty("index", index);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(place);
    fill(frame, kLightPink);
    return frame;
}

struct BoxPlace {
    const char* box;
    int left, top, width, height;
    const char* label;
    const char* labelText; // UTF-8
    int labelLeft, labelTop, labelWidth, labelHeight;
    const char* shadow;
};

// In the order of the table description's columns.
constexpr BoxPlace kBoxPlaces[store::kCardFields] = {
    {"TxtName", 600, 480, 2055, 375, "Label1", ": שם/חברה", 3000, 600, 1215, 375, "Shape1"},
    {"TxtHome", 600, 1080, 2055, 375, "Label2", ": טל' בבית", 3000, 1200, 1095, 375, "Shape2"},
    {"TxtPlp", 600, 1680, 2055, 375, "Label5", ": פלאפון", 3000, 1800, 1335, 375, "Shape3"},
    {"TxtWork", 600, 2280, 2055, 375, "Label3", ": טל' בעבודה", 3000, 2400, 1215, 375, "Shape4"},
    {"TxtFax", 600, 2880, 2055, 375, "Label4", ": מס' פקס", 3000, 3000, 1215, 375, "Shape5"},
    {"txtAddr", 600, 3480, 2055, 735, "Label7", ": כתובת", 3000, 3600, 1215, 255, "Shape7"},
    {"txtEmail", 600, 4440, 2055, 375, "Label8", ": דואר אלקטרוני", 3000, 4440, 1335, 375, "Shape8"},
};

constexpr int kAddressField = 5;
constexpr int kFirstTransparentLabel = 5; // the address and e-mail labels show the panel through

// Names and addresses are written in Hebrew; numbers and e-mail addresses run left to right.
constexpr bool kRightToLeft[store::kCardFields] = {true, false, false, false, false, true, false};

void yellow(QWidget* box)
{
    QPalette pal = box->palette();
    pal.setColor(QPalette::Base, kLightYellow);
    box->setPalette(pal);
}

} // namespace

FrmNewPhn::FrmNewPhn() : Form(nullptr)
{
    setObjectName(QStringLiteral("FrmNewPhn"));
    setWindowTitle(QStringLiteral("Add New Phone Number"));
    setWindowIcon(ui::icon(ui::Picture::AppIcon));
    ui::installFontSubstitutions();
    setFixedSize(ui::twipsRect(0, 0, kClientWidthTwips, kClientHeightTwips).size());
    fill(this, kLightPink);
    buildControls();
}

FrmNewPhn::~FrmNewPhn() = default;

void FrmNewPhn::buildControls()
{
    using ui::twipsRect;
    // Both panels reach 120 twips above the client area, so their top edges are out of sight.
    Frame2[1] = panel(this, 1, twipsRect(0, -120, 4455, 5055));
    Frame2[0] = panel(this, 0, twipsRect(4440, -120, 2175, 5055));

    // ---- the boxes --------------------------------------------------------------
    QWidget* fields = Frame2[1];
    QLabel* labels[store::kCardFields] = {};
    QWidget* shadows[store::kCardFields] = {};
    for (int f = 0; f < store::kCardFields; ++f) {
        const BoxPlace& at = kBoxPlaces[f];
        // Each shadow lies under its box, 120 twips right and down.
        shadows[f] = ui::decoration(fields, QLatin1String(at.shadow),
                                    twipsRect(at.left + 120, at.top + 120, at.width, at.height), kShadow);
        QWidget* box = nullptr;
        if (f == kAddressField) {
            auto* address = new QPlainTextEdit(fields);
            address->setTabChangesFocus(true);
            box = address;
        } else {
            box = new QLineEdit(fields);
        }
        box->setObjectName(QLatin1String(at.box));
        box->setGeometry(twipsRect(at.left, at.top, at.width, at.height));
        yellow(box);
        if (kRightToLeft[f])
            box->setLayoutDirection(Qt::RightToLeft); // and so aligned to the right
        boxes_[static_cast<size_t>(f)] = box;

        // The colon at the start of the label stays at its left, next to the box.
        labels[f] = ui::leftToRightLabel(fields, at.label, QString::fromUtf8(at.labelText),
                                         twipsRect(at.labelLeft, at.labelTop, at.labelWidth, at.labelHeight));
        if (f < kFirstTransparentLabel)
            fill(labels[f], kLightPink);
    }
    TxtName = qobject_cast<QLineEdit*>(boxes_[0]);
    TxtHome = qobject_cast<QLineEdit*>(boxes_[1]);
    TxtPlp = qobject_cast<QLineEdit*>(boxes_[2]);
    TxtWork = qobject_cast<QLineEdit*>(boxes_[3]);
    TxtFax = qobject_cast<QLineEdit*>(boxes_[4]);
    txtAddr = qobject_cast<QPlainTextEdit*>(boxes_[5]);
    txtEmail = qobject_cast<QLineEdit*>(boxes_[6]);
    Label1 = labels[0];
    Label2 = labels[1];
    Label5 = labels[2];
    Label3 = labels[3];
    Label4 = labels[4];
    Label7 = labels[5];
    Label8 = labels[6];
    Shape1 = shadows[0];
    Shape2 = shadows[1];
    Shape3 = shadows[2];
    Shape4 = shadows[3];
    Shape5 = shadows[4];
    Shape7 = shadows[5];
    Shape8 = shadows[6];
    const QString nameTip = QString::fromUtf8("שם משפחה ופרטי או שם חברה");
    Label1->setToolTip(nameTip);
    TxtName->setToolTip(nameTip);

    // ---- the header and the buttons ------------------------------------------------
    QWidget* side = Frame2[0];
    Shape6 = ui::decoration(side, QStringLiteral("Shape6"), twipsRect(0, 120, 2175, 975), kLightOrange);

    Image1 = ui::label(side, "Image1", QString(), twipsRect(120, 120, 480, 480));
    Image1->setPixmap(ui::icon(ui::Picture::AppIcon).pixmap(32, 32));
    // A pencil over the book's corner, on the band's light orange.
    Picture1 = ui::label(side, "Picture1", QString(), twipsRect(240, 240, 495, 495));
    Picture1->setPixmap(ui::icon(ui::Picture::Edit).pixmap(24, 24));
    Picture1->setAlignment(Qt::AlignRight | Qt::AlignBottom);

    Label6 = ui::label(side, "Label6", QStringLiteral("Phone Record"), twipsRect(720, 240, 1455, 735));
    Label6->setFont(ui::designFont(QStringLiteral("MS Sans Serif"), 12, true));
    Label6->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label6->setWordWrap(true);

    lblHeader = ui::label(side, "lblHeader", QStringLiteral("Add/Modify Record"), twipsRect(0, 1080, 2175, 375));
    lblHeader->setFont(ui::designFont(QStringLiteral("MS Sans Serif"), 8.25, true));
    lblHeader->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    fill(lblHeader, kPaleOrange);

    // Wide buttons: the picture beside the caption. Add and Update share one
    // place, Clear and Undo another; each mode hides one of each pair.
    const auto button = [&](const char* name, const char* caption, const char* tip, ui::Picture picture, int top) {
        QToolButton* b = ui::flatButton(side, name, caption, tip, picture, twipsRect(360, top, 1455, 735),
                                        Qt::ToolButtonTextBesideIcon);
        b->setFont(ui::designFont(QStringLiteral("MS Sans Serif"), 8.25));
        return b;
    };
    btnAdd = button("btnAdd", "Add", "Add new phone record", ui::Picture::Add, 1680);
    btnUpdate = button("btnUpdate", "Update", "Update current record", ui::Picture::Update, 1680);
    btnClr = button("btnClr", "Clear", "Clear new record", ui::Picture::Clear, 2760);
    btnUndo = button("btnUndo", "Undo", "Undo record changes", ui::Picture::Undo, 2760);
    btnRtn = button("btnRtn", "Cancel", "Cancel & Quit", ui::Picture::Quit, 3840);

    // The boxes first, the name box at their head; then the buttons as designed.
    QWidget* order[] = {TxtName,  TxtHome, TxtPlp,    TxtWork, TxtFax,  txtAddr,
                        txtEmail, btnAdd,  btnUpdate, btnRtn,  btnUndo, btnClr};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(btnAdd, &QToolButton::clicked, this, &FrmNewPhn::btnAdd_Click);
    connect(btnUpdate, &QToolButton::clicked, this, &FrmNewPhn::btnUpdate_Click);
    connect(btnClr, &QToolButton::clicked, this, &FrmNewPhn::btnClr_Click);
    connect(btnUndo, &QToolButton::clicked, this, &FrmNewPhn::btnUndo_Click);
    connect(btnRtn, &QToolButton::clicked, this, &FrmNewPhn::btnRtn_Click);
}

QString FrmNewPhn::boxText(int field) const
{
    QWidget* box = boxes_.at(static_cast<size_t>(field));
    if (auto* line = qobject_cast<QLineEdit*>(box))
        return line->text();
    return static_cast<QPlainTextEdit*>(box)->toPlainText();
}

void FrmNewPhn::setBoxText(int field, const QString& text)
{
    QWidget* box = boxes_.at(static_cast<size_t>(field));
    if (auto* line = qobject_cast<QLineEdit*>(box))
        line->setText(text);
    else
        static_cast<QPlainTextEdit*>(box)->setPlainText(text);
}

} // namespace numora
