-- Catalogue of the folders and files every user's data folder must hold.
-- `update` 1: the installed copy replaces the user's copy at the next start.
create table `dir`( `name` TEXT );
create table `files`( `name` TEXT, `update` INTEGER );

insert into `dir`( `name` ) values ('backup');
insert into `dir`( `name` ) values ('aktualizacja');
insert into `dir`( `name` ) values ('grafika');

insert into `files`( `name`, `update` ) values ('ustawienia.sqset', 0);
insert into `files`( `name`, `update` ) values ('dokumenty_kalibracja.sqset', 0);
insert into `files`( `name`, `update` ) values ('grafika/a4_prw.bmp', 0);
insert into `files`( `name`, `update` ) values ('grafika/orzel.emf', 0);
insert into `files`( `name`, `update` ) values ('grafika/m_p.emf', 0);
