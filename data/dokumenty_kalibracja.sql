-- Calibration of the printed documents: one table per document, one row per printed
-- object, drawn in row order. Boxes are in page units (the page is 885 x 1314 units,
-- stretched onto the printed sheet); a text stands on `y2`, so `y2` sits a little below
-- the text's baseline. Font sizes are points at 96 page units per inch; alignment
-- 0 left, 1 centred, 2 right, 3 justified.
--
-- Fixed wording is set in Times New Roman, filled-in values in Arial above dotted lines,
-- small captions in Arial. A dotted line stops short of the next box, so that the lines
-- of neighbouring fields stay apart.

-- The head of the page (the emblem, the school's stamp and file number on the left,
-- the office's number of the issue above its dotted line, "Duplikat" on a reprint,
-- place and date on the right) and its foot (the director's signature with the stamp
-- place beside it) are the same on both documents, at the same places, because one
-- preview background serves both.
create temporary table `head_and_foot`( `name` TEXT, `x1` INTEGER, `y1` INTEGER, `x2` INTEGER, `y2` INTEGER,
    `font_name` TEXT, `font_size` INTEGER, `font_align` INTEGER, `font_style_bold` INTEGER,
    `font_style_italic` INTEGER, `font_style_underline` INTEGER, `font_style_strike` INTEGER );
insert into `head_and_foot` values
    ('GRAFIKA: ORZELEK', 402, 16, 483, 105, 'Arial', 10, 1, 0, 0, 0, 0),
    ('STALY_PodluznaPieczatkaSzkoly_STR1_DATA_LABEL', 45, 173, 285, 190, 'Arial', 9, 1, 0, 0, 0, 0),
    ('STALY_LDz_STR1_DATA_LABEL', 45, 209, 88, 232, 'Times New Roman', 12, 0, 0, 0, 0, 0),
    ('ZMIENNA_NumerLDz_STR1_DATA_EDIT', 92, 204, 279, 232, 'Arial', 12, 1, 0, 0, 0, 0),
    ('ZMIENNA_Duplikat_STR1_DATA_EDIT', 587, 112, 850, 140, 'Arial', 14, 2, 1, 0, 0, 0),
    ('ZMIENNA_Miejscowosc_STR1_DATA_EDIT', 380, 152, 535, 180, 'Arial', 14, 1, 0, 0, 0, 0),
    ('STALY_MiejscowoscData_STR1_DATA_LABEL', 537, 152, 585, 180, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('ZMIENNA_MiejscowoscDnia_STR1_DATA_EDIT', 587, 152, 735, 180, 'Arial', 14, 1, 0, 0, 0, 0),
    ('ZMIENNA_MiejscowoscRok_STR1_DATA_EDIT', 737, 152, 815, 180, 'Arial', 14, 1, 0, 0, 0, 0),
    ('STALY_MiejscowoscRok_STR1_DATA_LABEL', 817, 152, 850, 180, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('STALY_Dyrektor_STR1_DATA_LABEL', 600, 807, 850, 835, 'Times New Roman', 15, 1, 0, 0, 0, 0),
    ('STALY_PieczecPodpis_STR1_DATA_LABEL', 600, 895, 850, 912, 'Arial', 9, 1, 0, 0, 0, 0),
    ('GRAFIKA: PIECZATKA', 440, 800, 540, 900, 'Arial', 10, 1, 0, 0, 0, 0),
    ('STALY_LDz_STR1_LINIA_Z_KROPEK', 92, 218, 279, 232, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_Miejscowosc_STR1_LINIA_Z_KROPEK', 382, 166, 529, 180, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_MiejscowoscDnia_STR1_LINIA_Z_KROPEK', 589, 166, 729, 180, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_MiejscowoscRok_STR1_LINIA_Z_KROPEK', 739, 166, 809, 180, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_Podpis_STR1_LINIA_Z_KROPEK', 602, 876, 844, 890, 'Times New Roman', 14, 0, 0, 0, 0, 0);

-- The transfer notice.
create table `zawiadomienie_o_przekazaniu`( `name` TEXT, `x1` INTEGER, `y1` INTEGER, `x2` INTEGER, `y2` INTEGER,
    `font_name` TEXT, `font_size` INTEGER, `font_align` INTEGER, `font_style_bold` INTEGER,
    `font_style_italic` INTEGER, `font_style_underline` INTEGER, `font_style_strike` INTEGER );
insert into `zawiadomienie_o_przekazaniu` select * from `head_and_foot`;
insert into `zawiadomienie_o_przekazaniu` values
    ('STALY_ZawiadomienieOPrzekazaniu_STR1_DATA_LABEL', 45, 267, 850, 300, 'Times New Roman', 18, 1, 1, 0, 0, 0),
    ('STALY_PrzekazujeZDniem_STR1_DATA_LABEL', 45, 352, 215, 380, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('ZMIENNA_PrzekazujeDzien_STR1_DATA_EDIT', 217, 352, 735, 380, 'Arial', 14, 1, 0, 0, 0, 0),
    ('ZMIENNA_PrzekazujeRok_STR1_DATA_EDIT', 737, 352, 815, 380, 'Arial', 14, 1, 0, 0, 0, 0),
    ('STALY_PrzekazujeRok_STR1_DATA_LABEL', 817, 352, 850, 380, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('ZMIENNA_ImieNazwisko_STR1_DATA_EDIT', 45, 397, 850, 425, 'Arial', 14, 1, 1, 0, 0, 0),
    ('STALY_ImieNazwisko_STR1_DATA_LABEL', 45, 431, 850, 448, 'Arial', 9, 1, 0, 0, 0, 0),
    ('STALY_Zamieszkaly_STR1_DATA_LABEL', 45, 467, 150, 495, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('ZMIENNA_Zamieszkaly_STR1_DATA_EDIT', 152, 467, 850, 495, 'Arial', 14, 0, 0, 0, 0, 0),
    ('STALY_Urodz_STR1_DATA_LABEL', 45, 512, 100, 540, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('ZMIENNA_Urodz_STR1_DATA_EDIT', 102, 512, 290, 540, 'Arial', 14, 1, 0, 0, 0, 0),
    ('STALY_UrodzDnia_STR1_DATA_LABEL', 292, 512, 335, 540, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('ZMIENNA_UrodzDnia_STR1_DATA_EDIT', 337, 512, 480, 540, 'Arial', 14, 1, 0, 0, 0, 0),
    ('ZMIENNA_UrodzRok_STR1_DATA_EDIT', 482, 512, 560, 540, 'Arial', 14, 1, 0, 0, 0, 0),
    ('STALY_UrodzRok_STR1_DATA_LABEL', 562, 512, 580, 540, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('STALY_PESEL_STR1_DATA_LABEL', 590, 512, 655, 540, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('ZMIENNA_PESEL_STR1_DATA_EDIT', 657, 512, 850, 540, 'Arial', 14, 1, 0, 0, 0, 0),
    ('STALY_Ucz_STR1_DATA_LABEL', 45, 557, 85, 585, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('ZMIENNA_Ucz_STR1_DATA_EDIT', 87, 557, 600, 585, 'Arial', 14, 1, 0, 0, 0, 0),
    ('STALY_DoTamtejszejSzkoly_STR1_DATA_LABEL', 602, 557, 850, 585, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('STALY_UczenBylPrzyjety_STR1_DATA_LABEL', 45, 602, 540, 630, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('ZMIENNA_UczenBylPrzyjety_STR1_DATA_EDIT', 542, 602, 850, 630, 'Arial', 14, 1, 0, 0, 0, 0),
    ('STALY_PowodPrzekazania_STR1_DATA_LABEL', 45, 647, 205, 675, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('ZMIENNA_PowodPrzekazania_STR1_DATA_EDIT', 207, 647, 850, 675, 'Arial', 14, 0, 0, 0, 0, 0),
    ('STALY_ProszeOPotwierdzenie_STR1_DATA_LABEL', 45, 692, 850, 720, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('STALY_PoOtrzymaniu_STR1_DATA_LABEL', 45, 737, 850, 765, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('STALY_PrzekazujeDzien_STR1_LINIA_Z_KROPEK', 219, 366, 729, 380, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_PrzekazujeRok_STR1_LINIA_Z_KROPEK', 739, 366, 809, 380, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_ImieNazwisko_STR1_LINIA_Z_KROPEK', 47, 411, 844, 425, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_Zamieszkaly_STR1_LINIA_Z_KROPEK', 154, 481, 844, 495, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_Urodz_STR1_LINIA_Z_KROPEK', 104, 526, 284, 540, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_UrodzDnia_STR1_LINIA_Z_KROPEK', 339, 526, 474, 540, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_UrodzRok_STR1_LINIA_Z_KROPEK', 484, 526, 554, 540, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_PESEL_STR1_LINIA_Z_KROPEK', 659, 526, 844, 540, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_Ucz_STR1_LINIA_Z_KROPEK', 89, 571, 594, 585, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_UczenBylPrzyjety_STR1_LINIA_Z_KROPEK', 544, 616, 844, 630, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_PowodPrzekazania_STR1_LINIA_Z_KROPEK', 209, 661, 844, 675, 'Times New Roman', 14, 0, 0, 0, 0, 0);

-- The admission confirmation: four lines between the head and the foot, with room to
-- write by hand.
create table `potwierdzenie_przyjecia_ucznia`( `name` TEXT, `x1` INTEGER, `y1` INTEGER, `x2` INTEGER, `y2` INTEGER,
    `font_name` TEXT, `font_size` INTEGER, `font_align` INTEGER, `font_style_bold` INTEGER,
    `font_style_italic` INTEGER, `font_style_underline` INTEGER, `font_style_strike` INTEGER );
insert into `potwierdzenie_przyjecia_ucznia` select * from `head_and_foot`;
insert into `potwierdzenie_przyjecia_ucznia` values
    ('STALY_PotwierdzeniePrzyjeciaUcznia_STR1_DATA_LABEL', 45, 267, 850, 300, 'Times New Roman', 18, 1, 1, 0, 0, 0),
    ('STALY_PotwierdzamPrzyjecie_STR1_DATA_LABEL', 45, 352, 458, 380, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('ZMIENNA_PotwierdzamPrzyjecie_STR1_DATA_EDIT', 460, 352, 735, 380, 'Arial', 14, 1, 0, 0, 0, 0),
    ('ZMIENNA_PotwierdzamPrzyjecieRok_STR1_DATA_EDIT', 737, 352, 815, 380, 'Arial', 14, 1, 0, 0, 0, 0),
    ('STALY_PotwierdzamPrzyjecieRok_STR1_DATA_LABEL', 817, 352, 850, 380, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('ZMIENNA_ImieNazwisko_STR1_DATA_EDIT', 45, 422, 850, 450, 'Arial', 14, 1, 1, 0, 0, 0),
    ('STALY_ImieNazwisko_STR1_DATA_LABEL', 45, 456, 850, 473, 'Arial', 9, 1, 0, 0, 0, 0),
    ('STALY_UrodzDnia_STR1_DATA_LABEL', 45, 532, 140, 560, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('ZMIENNA_UrodzDnia_STR1_DATA_EDIT', 142, 532, 480, 560, 'Arial', 14, 1, 0, 0, 0, 0),
    ('ZMIENNA_UrodzRok_STR1_DATA_EDIT', 482, 532, 560, 560, 'Arial', 14, 1, 0, 0, 0, 0),
    ('STALY_UrodzRok_STR1_DATA_LABEL', 562, 532, 580, 560, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('STALY_PESEL_STR1_DATA_LABEL', 590, 532, 655, 560, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('ZMIENNA_PESEL_STR1_DATA_EDIT', 657, 532, 850, 560, 'Arial', 14, 1, 0, 0, 0, 0),
    ('STALY_Ucz_STR1_DATA_LABEL', 45, 622, 85, 650, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('ZMIENNA_Ucz_STR1_DATA_EDIT', 87, 622, 330, 650, 'Arial', 14, 1, 0, 0, 0, 0),
    ('STALY_Klasy_STR1_DATA_LABEL', 332, 622, 380, 650, 'Times New Roman', 15, 0, 0, 0, 0, 0),
    ('ZMIENNA_Klasy_STR1_DATA_EDIT', 382, 622, 850, 650, 'Arial', 14, 1, 0, 0, 0, 0),
    ('STALY_PotwierdzamPrzyjecie_STR1_LINIA_Z_KROPEK', 462, 366, 729, 380, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_PotwierdzamPrzyjecieRok_STR1_LINIA_Z_KROPEK', 739, 366, 809, 380, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_ImieNazwisko_STR1_LINIA_Z_KROPEK', 47, 436, 844, 450, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_UrodzDnia_STR1_LINIA_Z_KROPEK', 144, 546, 474, 560, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_UrodzRok_STR1_LINIA_Z_KROPEK', 484, 546, 554, 560, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_PESEL_STR1_LINIA_Z_KROPEK', 659, 546, 844, 560, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_Ucz_STR1_LINIA_Z_KROPEK', 89, 636, 324, 650, 'Times New Roman', 14, 0, 0, 0, 0, 0),
    ('STALY_Klasy_STR1_LINIA_Z_KROPEK', 384, 636, 844, 650, 'Times New Roman', 14, 0, 0, 0, 0, 0);
