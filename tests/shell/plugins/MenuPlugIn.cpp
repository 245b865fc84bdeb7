// A module whose main object keeps a menu until the module unloads: the menu goes after every
// framework unit's static objects.
#include <memory>

#include "hostcall/References.h"
#include "menus/PlugInMenu.h"
#include "shell/PlugInMain.h"

namespace {

using namespace Vorna;

const FrameworkUnitUsers sUsers;

class KeptMenu : public PlugIn::StandardPlugInMenu {
  public:
    KeptMenu() : StandardPlugInMenu(qz_string("Kept")) { AppendCommand({7, 1}); }
    ~KeptMenu() = default;
    bool DoItem(std::int32_t, std::int32_t) override { return false; }
};

class MenuPlugIn : public PlugIn::PlugInMain {
  public:
    void Startup() override { fMenu = std::make_unique<KeptMenu>(); }

  private:
    std::unique_ptr<KeptMenu> fMenu;
};

MenuPlugIn sPlugIn;

}  // namespace
