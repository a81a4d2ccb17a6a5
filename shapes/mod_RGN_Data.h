// The sprite windows' sizes; each setter sets Height, then Width (twips).
#pragma once

namespace marivo {

class Form;

void SizeMan(Form& window);         // 50 x 48 px
void SizeUkiUpright(Form& window);  // 5 x 21 px
void SizeUkiSlant(Form& window);    // 17 x 12 px
void SizeUkiFlat(Form& window);     // 21 x 5 px
void SizeUkiWide(Form& window);     // 31 x 14 px
void SizeFish(Form& window);        // 36 x 36 px
void SizeMarker(Form& window);      // 14 x 10 px

}  // namespace marivo
