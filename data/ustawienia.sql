-- Settings, print margin profiles and the place-name dictionaries.
create table `settings`( `name` TEXT, `text_value` TEXT, `int_value` INTEGER );
create table `margin`( `name` TEXT, `Page1X1` INTEGER, `Page1Y1` INTEGER, `Page1X2` INTEGER, `Page1Y2` INTEGER,
                       `Page2X1` INTEGER, `Page2Y1` INTEGER, `Page2X2` INTEGER, `Page2Y2` INTEGER );
create table `city`( `name` TEXT );
create table `province`( `name` TEXT );

-- A new installation has no files of an older version to import.
insert into `settings`( `name`, `int_value` ) values ('import_alert', 0);
insert into `settings`( `name`, `int_value` ) values ('strike_empty_fields', 1);
insert into `settings`( `name`, `int_value` ) values ('print_without_dots', 0);
insert into `settings`( `name`, `int_value` ) values ('word_wrap', 0);
insert into `settings`( `name`, `int_value` ) values ('create_school_data_template', 1);

-- Edges of the printed page in millimetres from the sheet's left and top edges.
-- Both rectangles keep the page's 885 x 1314 proportions (190 x 282 mm, 194 x 288 mm)
-- and lie inside the printable area of common office printers.
insert into `margin` values ('Domyślne', 10, 7, 200, 289, 10, 7, 200, 289);
insert into `margin` values ('Wąskie marginesy', 8, 5, 202, 293, 8, 5, 202, 293);

insert into `province`( `name` ) values ('dolnośląskie'), ('kujawsko-pomorskie'), ('lubelskie'), ('lubuskie'),
    ('łódzkie'), ('małopolskie'), ('mazowieckie'), ('opolskie'), ('podkarpackie'), ('podlaskie'), ('pomorskie'),
    ('śląskie'), ('świętokrzyskie'), ('warmińsko-mazurskie'), ('wielkopolskie'), ('zachodniopomorskie');

insert into `city`( `name` ) values ('Warszawa'), ('Kraków'), ('Łódź'), ('Wrocław'), ('Poznań'), ('Gdańsk'),
    ('Szczecin'), ('Bydgoszcz'), ('Lublin'), ('Białystok'), ('Katowice'), ('Gdynia'), ('Częstochowa'), ('Radom'),
    ('Toruń'), ('Sosnowiec'), ('Rzeszów'), ('Kielce'), ('Gliwice'), ('Olsztyn'), ('Zabrze'), ('Bielsko-Biała'),
    ('Bytom'), ('Zielona Góra'), ('Rybnik'), ('Ruda Śląska'), ('Opole'), ('Tychy'), ('Gorzów Wielkopolski'),
    ('Elbląg'), ('Płock'), ('Dąbrowa Górnicza'), ('Wałbrzych'), ('Włocławek'), ('Tarnów'), ('Chorzów'),
    ('Koszalin'), ('Kalisz'), ('Legnica'), ('Grudziądz'), ('Słupsk'), ('Jaworzno'), ('Jastrzębie-Zdrój'),
    ('Nowy Sącz'), ('Jelenia Góra'), ('Siedlce'), ('Mysłowice'), ('Konin'), ('Piła'), ('Piotrków Trybunalski'),
    ('Inowrocław'), ('Lubin'), ('Ostrów Wielkopolski'), ('Suwałki'), ('Stargard'), ('Gniezno'), ('Ostrowiec Świętokrzyski'),
    ('Siemianowice Śląskie'), ('Głogów'), ('Pabianice'), ('Leszno'), ('Zamość'), ('Łomża'), ('Żory'), ('Pruszków'),
    ('Ełk'), ('Tomaszów Mazowiecki'), ('Chełm'), ('Mielec'), ('Kędzierzyn-Koźle'), ('Przemyśl'), ('Stalowa Wola'),
    ('Tczew'), ('Biała Podlaska'), ('Bełchatów'), ('Świdnica'), ('Będzin'), ('Zgierz'), ('Racibórz'), ('Legionowo'),
    ('Ostrołęka'), ('Świętochłowice'), ('Wejherowo'), ('Zawiercie'), ('Starachowice'), ('Skierniewice'), ('Tarnobrzeg');
