#pragma once

#include "link/ui/context.h"

namespace veq {

// The configuration file operations of the "Fichier" menu.
class Fichier {
  public:
    explicit Fichier(WindowContext& ctx) : ctx_(ctx) {}

    void OUVRIR_CONFIGURATION();
    void ENREGISTRER_CONFIGURATION();

  private:
    WindowContext& ctx_;
};

}  // namespace veq
