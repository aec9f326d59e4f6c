#pragma once
// The online catalogue window: browses an OPDS catalogue page by page and adds its books to the library.

#include "core/opds/OpdsBrowser.h"
#include "core/opds/OpdsCatalogues.h"
#include "ui/Session.h"
#include "ui/Window.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBrowser>

namespace vel {

class Katalog : public Window {
    Q_OBJECT
public:
    static constexpr Role kRole = Role::OnlineCatalogue;
    explicit Katalog(Session& session);

    QComboBox* Combo1;          // the catalogues
    QLineEdit* TextAdres;       // a catalogue's address, typed by the reader
    QPushButton* CommandOtvori; // opens the address
    QPushButton* CommandZapazi; // keeps the address among the catalogues
    QLineEdit* TextTarsene;
    QPushButton* CommandTarsi;
    QPushButton* CommandNazad;
    QPushButton* CommandPredishna;
    QPushButton* CommandSledvashta;
    QListWidget* List1; // the page's entries
    QLabel* PictureKorica;
    QTextBrowser* TextOpisanie;
    QPushButton* Dobavi;
    QProgressBar* ProgressBar1;
    QPushButton* CommandOtkaz;
    QLabel* LabelSastoyanie;

    OpdsBrowser& browser() { return browser_; }

    void Form_Load() override;

    void Combo1_Click();
    void CommandOtvori_Click();
    void CommandZapazi_Click();
    void CommandTarsi_Click();
    void List1_Click();
    void List1_DblClick();
    void Dobavi_Click();

private:
    void openCatalogue(const QUrl& url);
    void showPage();
    void showBusy(bool busy);
    void showFailure(const QString& message);
    void showAdded(const ImportResult& result);
    void fillCatalogues(int current);

    OpdsBrowser browser_;
    QList<OpdsCatalogue> catalogues_;
};

} // namespace vel
