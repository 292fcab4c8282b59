#include "forms/MainWindow.h"
#include "catalogue/Artwork.h"
#include "catalogue/CatalogueListing.h"
#include "catalogue/SettingKeys.h"
#include "components/MessageDialogs.h"
#include "forms/AboutDialog.h"
#include "forms/main/AdditionalMenu.h"
#include "forms/main/BrowserBookmarks.h"
#include "forms/main/CatalogueData.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandActions.h"
#include "forms/main/CommandContext.h"
#include "forms/main/EditCommands.h"
#include "forms/main/FoldersPanel.h"
#include "forms/main/HotKeyControl.h"
#include "forms/main/Intake.h"
#include "forms/main/ItemCommands.h"
#include "forms/main/ItemKeys.h"
#include "forms/main/Opening.h"
#include "forms/main/Properties.h"
#include "forms/main/Relinking.h"
#include "forms/main/Search.h"
#include "forms/main/ServiceCommands.h"
#include "forms/main/TrayControl.h"
#include "forms/main/WindowDragDrop.h"
#include "forms/main/WindowSettings.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QStatusBar>
#include <QTreeView>

using Commands::Id;

namespace
{

// The strip that takes hyperlinks dragged from a browser, and its pictures.
constexpr int DropStripWidth = 33;
constexpr QRect GlobeGeometry(0, 0, DropStripWidth, 32);
constexpr QRect MarkerGeometry(8, 40, 16, 16);
constexpr int SmallPicture = 16;
constexpr QColor DropStripGreen(0, 128, 0);

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), m_catalogue(this)
{
    setObjectName(QStringLiteral("TMainF"));
    setWindowTitle(QStringLiteral("Quillmere 3.3"));
    setWindowIcon(Artwork::programIcon());
    resize(Setting::FormWidth.defaultValue, Setting::FormHeight.defaultValue);

    m_commands = new CommandActions(*this);
    m_context = std::make_unique<CommandContext>(m_catalogue, *this, *m_commands);
    createLayout();
    m_additional = new AdditionalMenu(*m_context, m_view->listModel(), this);
    m_tray = new TrayControl(*m_context, *this);
    m_relinking = new Relinking(*m_context, *m_view);
    m_opening = new Opening(*m_context, *m_view, *m_relinking);
    new ItemCommands(*m_context, *m_view); // owned by the view
    new ItemKeys(*m_context, *m_view);
    new EditCommands(*m_context, *m_view); // owned by the view
    m_search = new Search(*m_context, *m_view);
    m_data = new CatalogueData(*m_context);
    m_properties = new Properties(*m_context, *m_view, *m_relinking);
    m_dragDrop = new WindowDragDrop(*m_context, *m_view, *m_folders);
    m_intake = new Intake(*m_context, *m_view, *m_dropStrip, *m_tray);
    m_settings = new WindowSettings(*m_context,
                                    {*m_view, *m_additional, *m_folders, *m_dropStrip, *m_intake});
    connect(m_settings, &WindowSettings::problem, this, &MainWindow::addStartupError);
    m_hotKey = new HotKeyControl(*m_context, *m_tray);
    connect(m_hotKey, &HotKeyControl::hotKeyChanged, m_settings, &WindowSettings::setHotKey);
    // The start-up's hot key: a refusal is told with the other start-up messages.
    connect(m_settings, &WindowSettings::hotKeyRead, this, [this](int key) {
        if (const QString failure = m_hotKey->tryAssignHotKey(key); !failure.isEmpty())
            addStartupError(failure);
    });
    new BrowserBookmarks(*m_context, *m_view); // owned by the view
    m_service = new ServiceCommands(*m_context, {*m_view, *m_additional, *m_hotKey, *m_settings});
    m_context->setTargetNodeQuery([this] { return m_view->commandTargetNode(); });
    m_commands->connectCommand(Id::QuitFromFileMenu, this, &MainWindow::endRun);
    m_commands->connectCommand(Id::Quit, this, &MainWindow::endRun);
    m_commands->connectCommand(Id::About, this, [this] {
        AboutDialog box(false, this);
        box.showDataFolder(m_catalogue.dataFolder());
        box.exec();
    });

    connect(&m_catalogue, &Catalogue::statusMessage, this,
            [this](const QString& text) { statusBar()->showMessage(text); });
    connect(&m_catalogue, &Catalogue::saveNotice, this,
            [this](const QString& text) { MessageDialogs::warningBox(text, this); });

    // Design content of the tree until the catalogue is read: a category, so
    // that a run whose catalogue could not be read saves it as one.
    TreeNode* first = m_catalogue.nodes().addChild(nullptr, QStringLiteral("No category"));
    m_catalogue.fillCategoryNode(first, first->text(), QString(), QString());

    connect(qApp, &QGuiApplication::commitDataRequest, this, &MainWindow::onCommitDataRequest);
    // The tree has the keyboard when the window comes up (the tool bar's
    // buttons were made first and would otherwise take it).
    m_view->focusTree();
}

MainWindow::~MainWindow()
{
    m_data->abandonLoad();
    finish();
    // The views outlive the catalogue member (they go with the base class):
    // let them forget the nodes before the tree is freed.
    m_view->detachModels();
}

void MainWindow::createLayout()
{
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    m_dropStrip = new QFrame(central);
    m_dropStrip->setObjectName(QStringLiteral("TargetWin"));
    m_dropStrip->setFixedWidth(DropStripWidth);
    m_dropStrip->setAutoFillBackground(true);
    QPalette green = m_dropStrip->palette();
    green.setColor(QPalette::Window, DropStripGreen);
    m_dropStrip->setPalette(green);
    m_dropStrip->setToolTip(QStringLiteral("Place for hyperlinks drag'n'drop"));
    m_dropStrip->setAccessibleName(QStringLiteral("Hyperlink drop strip"));
    m_dropStrip->setAccessibleDescription(
        QStringLiteral("Drop hyperlinks from a web browser here"));
    auto* globe = new QLabel(m_dropStrip);
    globe->setObjectName(QStringLiteral("TargetGlobe"));
    globe->setGeometry(GlobeGeometry);
    globe->setAlignment(Qt::AlignCenter);
    globe->setPixmap(
        Artwork::fixedIcon(imgHyperlink, SmallPicture).pixmap(SmallPicture, SmallPicture));
    auto* marker = new QLabel(m_dropStrip);
    marker->setObjectName(QStringLiteral("TargetMarker"));
    marker->setGeometry(MarkerGeometry);
    marker->setPixmap(QPixmap::fromImage(Artwork::pointingHand(SmallPicture)));
    marker->hide();
    row->addWidget(m_dropStrip);

    m_view = new CategoryView(*m_context, central);
    connect(m_view, &CategoryView::titleChanged, this, &QWidget::setWindowTitle);
    m_view->setDesignSizes(Setting::FormWidth.defaultValue - DropStripWidth);
    row->addWidget(m_view->widget(), 1);
    setCentralWidget(central);

    m_folders = new FoldersPanel(*m_context, this);

    statusBar()->setSizeGripEnabled(true);
    statusBar()->addWidget(m_view->commentLabel(), 1);
}

void MainWindow::addStartupError(const QString& text)
{
    m_startupError =
        m_startupError.isEmpty() ? text : m_startupError + QStringLiteral("\n\n") + text;
}

void MainWindow::restoreFromTray()
{
    // The other start waits for this answer: whatever it does next finds
    // the last edits on the disk.
    m_data->flushAutoSave();
    m_tray->restoreFromTray();
}

void MainWindow::fileItems(const QStringList& items, const QString& category)
{
    if (m_catalogue.loading()) {
        // Filed into the tree as it is once loaded, in the order asked.
        connect(
            &m_catalogue, &Catalogue::loaded, this,
            [this, items, category] { fileItems(items, category); },
            Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
        return;
    }
    if (m_catalogue.linksUpdating()) {
        // Filed once the link update under way is through.
        connect(
            &m_catalogue, &Catalogue::linkUpdateRunning, this,
            [this, items, category] { fileItems(items, category); },
            Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
        return;
    }
    m_tray->restoreFromTray();
    m_intake->fileItems(items, CatalogueListing::splitCategoryPath(category));
}
