// The built-in catalogue: row i of either table is the entry at position i
// (and the model/bitmap files numbered i + 1). Each row is the
// transliteration, " | " and the meaning, at most 71 code units, with no
// full stops and only code units that the outline font covers (below 1183).
#include "content/ContentList.h"

const char16_t* const kEnglishRows[kCatalogueRows] = {
    u"Allah | God",  // 0
    u"Ar-Rahman | The Exceedingly Compassionate, The Exceedingly Beneficent",  // 1
    u"Ar-Rahim | The Exceedingly Merciful",  // 2
    u"Al-Malik | The King, The Sovereign Lord",  // 3
    u"Al-Kuddus | The Most Holy, The Most Pure",  // 4
    u"As-Salam | The Source of Peace and Safety",  // 5
    u"Al-Mu'min | The Granter of Security, The Faithful",  // 6
    u"Al-Muhaymin | The Guardian, The Overseer",  // 7
    u"Al-Aziz | The Almighty, The Invincible",  // 8
    u"Al-Jabbar | The Compeller, The Irresistible",  // 9
    u"Al-Mutakabbir | The Supreme, The Greatest",  // 10
    u"Al-Khaliq | The Creator",  // 11
    u"Al-Bari' | The Evolver, The Maker of Order",  // 12
    u"Al-Musawwir | The Fashioner of Forms",  // 13
    u"Al-Ghaffar | The Ever-Forgiving",  // 14
    u"Al-Qahhar | The Subduer, The Ever-Dominating",  // 15
    u"Al-Wahhab | The Bestower, The Giver of Gifts",  // 16
    u"Ar-Razzaq | The Provider, The Bestower of Sustenance",  // 17
    u"Al-Fattah | The Opener, The Reliever",  // 18
    u"Al-`Alim | The All Knowing, The Omniscient",  // 19
    u"Al-Qabid | The Constrictor, The Withholder",  // 20
    u"Al-Basit | The Extender / Expander",  // 21
    u"Al-Khafid | The Abaser, The Humbler",  // 22
    u"Ar-Rafi | The Exalter, The Elevator",  // 23
    u"Al-Mu'izz | The Honourer, The Bestower of Might",  // 24
    u"Al-Mudhill | The Humiliator, The Giver of Dishonour",  // 25
    u"As-Sami | The All-Hearing",  // 26
    u"Al-Basir | The All-Seeing",  // 27
    u"Al-Hakam | The Judge, The Arbitrator",  // 28
    u"Al-`Adl | The Just, The Embodiment of Justice",  // 29
    u"Al-Latif | The Subtle One, The Most Gentle",  // 30
    u"Al-Khabir | The All-Aware",  // 31
    u"Al-Halim | The Forbearing, The Clement",  // 32
    u"Al-Azim | The Tremendous, The Infinite",  // 33
    u"Al-Ghafur | The All-Forgiving",  // 34
    u"Ash-Shakur | The Most Appreciative, The Rewarder of Thanks",  // 35
    u"Al-Ali | The Most High, The Exalted",  // 36
    u"Al-Kabir | The Most Great",  // 37
    u"Al-Hafiz | The Preserver, The Protector",  // 38
    u"Al-Muqit | The Nourisher, The Maintainer",  // 39
    u"Al-Hasib | The Reckoner, The Sufficient",  // 40
    u"Al-Jalil | The Sublime One, The Revered",  // 41
    u"Al-Karim | The Most Generous, The Most Esteemed",  // 42
    u"Ar-Raqib | The Watchful",  // 43
    u"Al-Mujib | The Responsive One, The Answerer of Prayers",  // 44
    u"Al-Wasi | The Vast, The All-Embracing, The Omnipresent, The Boundless",  // 45
    u"Al-Hakim | The All-Wise",  // 46
    u"Al-Wadud | The Most Loving",  // 47
    u"Al-Majid | All-Glorious, The Majestic",  // 48
    u"Al-Ba'ith | The Resurrector, The Raiser of the Dead",  // 49
    u"Ash-Shahid | The All-Witnessing, The Witness",  // 50
    u"Al-Haqq | The Absolute Truth",  // 51
    u"Al-Wakil | The Trustee, The Disposer of Affairs",  // 52
    u"Al-Qawiyy | The All-Strong",  // 53
    u"Al-Matin | The Firm, The Steadfast",  // 54
    u"Al-Waliyy | The Protecting Friend, The Supporter",  // 55
    u"Al-Hamid | The Praiseworthy",  // 56
    u"Al-Muhsi | The All-Enumerating, The Counter",  // 57
    u"Al-Mubdi' | The Originator, The Initiator",  // 58
    u"Al-Mu'id | The Restorer, The Reinstater",  // 59
    u"Al-Muhyi | The Giver of Life",  // 60
    u"Al-Mumit | The Bringer of Death",  // 61
    u"Al-Hayy | The Ever-Living",  // 62
    u"Al-Qayyum | The Self-Subsisting, The Sustainer of All",  // 63
    u"Al-Wajid | The Perceiver, The Finder",  // 64
    u"Al-Majid | The Illustrious, The Magnificent",  // 65
    u"Al-Wahid | The One, The Unique",  // 66
    u"Al-'Ahad | The One, The Indivisible",  // 67
    u"As-Samad | The Eternal, The Satisfier of All Needs",  // 68
    u"Al-Qadir | The All-Capable, The Omnipotent",  // 69
    u"Al-Muqtadir | The All-Determiner, The Dominant",  // 70
    u"Al-Muqaddim | The Expediter, The Promoter",  // 71
    u"Al-Mu'akhkhir | The Delayer, The Retarder",  // 72
    u"Al-Awwal | The First",  // 73
    u"Al-Akhir | The Last",  // 74
    u"Az-Zahir | The Manifest",  // 75
    u"Al-Batin | The Hidden, The Inner",  // 76
    u"Al-Wali | The Governor, The Patron",  // 77
    u"Al-Muta'ali | The Self-Exalted, The Supremely Exalted",  // 78
    u"Al-Barr | The Source of All Goodness",  // 79
    u"At-Tawwab | The Ever-Pardoning, The Acceptor of Repentance",  // 80
    u"Al-Muntaqim | The Avenger",  // 81
    u"Al-'Afuww | The Pardoner, The Effacer of Sins",  // 82
    u"Ar-Ra'uf | The Most Kind, The Ever-Compassionate",  // 83
    u"Malik-al-Mulk | The Owner of all Sovereignty",  // 84
    u"Dhu-al-Jalal wa-al-Ikram | The Lord of Majesty and Generosity",  // 85
    u"Al-Muqsit | The Equitable, The Requiter",  // 86
    u"Al-Jami' | The Gatherer, The Unifier",  // 87
    u"Al-Ghani | The Self-Sufficient, The Wealthy",  // 88
    u"Al-Mughni | The Enricher",  // 89
    u"Al-Mani' | The Preventer, The Defender",  // 90
    u"Ad-Darr | The Distresser, The Creator of the Harmful",  // 91
    u"An-Nafi' | The Propitious, The Benefactor",  // 92
    u"An-Nur | The Light",  // 93
    u"Al-Hadi | The Guide",  // 94
    u"Al-Badi | The Incomparable Creator",  // 95
    u"Al-Baqi | The Ever-Enduring, The Everlasting",  // 96
    u"Al-Warith | The Inheritor, The Heir",  // 97
    u"Ar-Rashid | The Guide to the Right Path",  // 98
    u"As-Sabur | The Timeless, The Patient",  // 99
};

const char16_t* const kRussianRows[kCatalogueRows] = {
    u"Аллах | Единый Бог",  // 0
    u"ар-Рахмаан | Обладатель безграничной милости",  // 1
    u"ар-Рахийм | Милующий, Дарующий милость верующим",  // 2
    u"аль-Малик | Властелин, Царь всего сущего",  // 3
    u"аль-Куддуус | Святой, Пречистый",  // 4
    u"ас-Саляям | Источник мира и спасения",  // 5
    u"аль-Му'мин | Дарующий веру и безопасность",  // 6
    u"аль-Мухаймин | Охраняющий, Надзирающий за всем",  // 7
    u"аль-'Азииз | Могущественный, Всепобеждающий",  // 8
    u"аль-Джаббаар | Подчиняющий Своей воле, Исправляющий",  // 9
    u"аль-Мутакяббир | Превосходящий, Величайший",  // 10
    u"аль-Хаалик | Творец, Создатель",  // 11
    u"аль-Баари' | Создающий, Творящий из небытия",  // 12
    u"аль-Мусаввир | Придающий облик, Образующий",  // 13
    u"аль-Гаффаар | Многопрощающий",  // 14
    u"аль-Каххаар | Господствующий, Покоряющий",  // 15
    u"аль-Ваххааб | Дарующий блага",  // 16
    u"ар-Раззаак | Наделяющий уделом, Дающий пропитание",  // 17
    u"аль-Фаттаах | Открывающий, Решающий",  // 18
    u"аль-'Алиим | Всезнающий",  // 19
    u"аль-Каабид | Сжимающий [удел тех, кого пожелает]",  // 20
    u"аль-Баасыт | Расстилающий",  // 21
    u"аль-Хаафид | Принижающий, Умаляющий",  // 22
    u"ар-Раафи' | Возвышающий",  // 23
    u"аль-Му'изз | Дарующий могущество и славу",  // 24
    u"аль-Музилль | Унижающий, Лишающий славы",  // 25
    u"ас-Самии' | Всеслышащий",  // 26
    u"аль-Басыыр | Всевидящий",  // 27
    u"аль-Хакям | Судья, Выносящий решения",  // 28
    u"аль-'Адль | Справедливейший",  // 29
    u"аль-Латыыф | Проницательный, Добрый",  // 30
    u"аль-Хабиир | Всеведущий",  // 31
    u"аль-Халиим | Выдержанный, Снисходительный",  // 32
    u"аль-'Азыым | Великий",  // 33
    u"аль-Гафуур | Всепрощающий",  // 34
    u"аш-Шакуур | Благодарный, Вознаграждающий за благое",  // 35
    u"аль-'Алий | Высочайший",  // 36
    u"аль-Кябиир | Превеликий",  // 37
    u"аль-Хафииз | Хранитель, Оберегающий",  // 38
    u"аль-Мукыыт | Питающий, Поддерживающий",  // 39
    u"аль-Хасииб | Ведущий счёт, Достаточный",  // 40
    u"аль-Джалииль | Величественный",  // 41
    u"аль-Кяриим | Щедрый, Благородный",  // 42
    u"ар-Ракыыб | Наблюдающий",  // 43
    u"аль-Муджииб | Отвечающий на мольбы",  // 44
    u"аль-Вааси' | Вездесущий",  // 45
    u"аль-Хакиим | Мудрый",  // 46
    u"аль-Вадууд | Любящий",  // 47
    u"аль-Маджиид | Преславный, Величавый",  // 48
    u"аль-Баа'ис | Воскрешающий",  // 49
    u"аш-Шахиид | Свидетель [всего явного и сокрытого]",  // 50
    u"аль-Хакк | Истина, Истинный",  // 51
    u"аль-Вакииль | Попечитель, Распорядитель дел",  // 52
    u"аль-Кавый | Сильный",  // 53
    u"аль-Матиин | Крепкий, Непоколебимый",  // 54
    u"аль-Валий | Покровитель, Помощник",  // 55
    u"аль-Хамиид | Достохвальный",  // 56
    u"аль-Мухсый | Знающий счёт всему",  // 57
    u"аль-Мубди' | Начинающий творение",  // 58
    u"аль-Му'иид | Возвращающий [творения к жизни после смерти]",  // 59
    u"аль-Мухйи | Дарующий жизнь, Оживляющий",  // 60
    u"аль-Мумиит | Умерщвляющий",  // 61
    u"аль-Хайй | Живой, Вечно живой",  // 62
    u"аль-Каййююм | Вечносущий, Поддерживающий всё сущее",  // 63
    u"аль-Вааджид | Находящий, Обладающий всем",  // 64
    u"аль-Мааджид | Славный, Великолепный",  // 65
    u"аль-Ваахид | Единый",  // 66
    u"аль-Ахад | Единственный, Неделимый",  // 67
    u"ас-Сомад | Вечный, Самодостаточный",  // 68
    u"аль-Каадир | Всемогущий, Способный на всё",  // 69
    u"аль-Муктадир | Всесильный, Властный",  // 70
    u"аль-Мукаддим | Выдвигающий вперёд",  // 71
    u"аль-Муаххир | Отодвигающий назад, Откладывающий",  // 72
    u"аль-Авваль | Первый [сущий прежде всего сотворённого]",  // 73
    u"аль-Аахыр | Последний, Пребывающий после всего",  // 74
    u"аз-Заахир | Явный",  // 75
    u"аль-Баатын | Скрытый, Сокровенный",  // 76
    u"аль-Ваалий | Правитель, Управляющий всем",  // 77
    u"аль-Мута'аали | Возвышенный, Превыше всего",  // 78
    u"аль-Барр | Благостный, Источник добра",  // 79
    u"ат-Таввааб | Принимающий покаяние",  // 80
    u"аль-Мунтакым | Карающий, Воздающий по заслугам",  // 81
    u"аль-'Афувв | Прощающий, Стирающий грехи",  // 82
    u"ар-Раууф | Сострадательный, Добрейший",  // 83
    u"Мааликуль-мульк | Обладатель безграничной власти и права над всем сущим",  // 84
    u"Зуль джаляяли валь-икраам | Обладатель величия и щедрости",  // 85
    u"аль-Муксыт | Беспристрастный, Воздающий должное",  // 86
    u"аль-Джаами' | Собирающий [людей в Судный День на площади Суда]",  // 87
    u"аль-Ганий | Богатый, Ни в чём не нуждающийся",  // 88
    u"аль-Мугний | Обогащающий",  // 89
    u"аль-Маани' | Препятствующий, Защищающий",  // 90
    u"ад-Даарр | Насылающий беду",  // 91
    u"ан-Наафи' | Приносящий пользу",  // 92
    u"ан-Нур | Свет",  // 93
    u"аль-Хээди | Ведущий прямым путём",  // 94
    u"аль-Бадии' | Несравненный Творец",  // 95
    u"аль-Баакы | Непреходящий, Остающийся навеки",  // 96
    u"аль-Ваарис | Наследующий всё",  // 97
    u"ар-Рашиид | Направляющий на верный путь",  // 98
    u"ас-Собуур | Предельно Терпеливый",  // 99
};
