#include "config/ui/fichier.h"

namespace veq {

void Fichier::OUVRIR_CONFIGURATION() {}

void Fichier::ENREGISTRER_CONFIGURATION() {}

}  // namespace veq
