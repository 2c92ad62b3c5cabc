<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>BookNotes</name>
    <message>
        <source>%1: code page unsure, stored as it is</source>
        <translation>%1: кодировка не определена, файл сохранён как есть</translation>
    </message>
    <message>
        <source>%1: tidied</source>
        <translation>%1: абзацы собраны</translation>
    </message>
    <message>
        <source>tidied</source>
        <translation>абзацы собраны</translation>
    </message>
    <message>
        <source>The name is too long for the handheld: it arrives as &quot;%1&quot;.</source>
        <translation>Имя слишком длинное для карманного компьютера: книга придёт как «%1».</translation>
    </message>
</context>
<context>
    <name>Failure</name>
    <message>
        <source>Not enough memory.</source>
        <translation>Не хватает памяти.</translation>
    </message>
    <message>
        <source>The file or folder was not found.</source>
        <translation>Файл или папка не найдены.</translation>
    </message>
    <message>
        <source>Access denied: the file or folder is protected or read-only.</source>
        <translation>Нет доступа: файл или папка защищены или только для чтения.</translation>
    </message>
    <message>
        <source>The file is in use by another program.</source>
        <translation>Файл занят другой программой.</translation>
    </message>
    <message>
        <source>The file is damaged or not of the expected kind.</source>
        <translation>Файл повреждён или это файл другого рода.</translation>
    </message>
    <message>
        <source>Wrong password.</source>
        <translation>Неверный пароль.</translation>
    </message>
    <message>
        <source>There is not enough space on the disk.</source>
        <translation>На диске не хватает места.</translation>
    </message>
    <message>
        <source>The operation was cancelled.</source>
        <translation>Операция отменена.</translation>
    </message>
    <message>
        <source>The output was closed.</source>
        <translation>Вывод закрыт.</translation>
    </message>
    <message>
        <source>This cannot be done.</source>
        <translation>Так сделать нельзя.</translation>
    </message>
    <message>
        <source>The operation failed.</source>
        <translation>Операция не выполнена.</translation>
    </message>
</context>
<context>
    <name>corvane::UploaderDialog</name>
    <message>
        <source>&amp;About Corvane...</source>
        <translation>&amp;О программе Corvane...</translation>
    </message>
    <message>
        <source>About Corvane</source>
        <translation>О программе Corvane</translation>
    </message>
    <message>
        <source>Corvane Version 1.0</source>
        <translation>Corvane, версия 1.0</translation>
    </message>
</context>
<context>
    <name>pagora::Prompts</name>
    <message>
        <source>Information</source>
        <translation>Сообщение</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Предупреждение</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>Подтверждение</translation>
    </message>
</context>
<context>
    <name>pagora::TFileListBox</name>
    <message>
        <source>Name</source>
        <translation>Имя</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Размер</translation>
    </message>
    <message>
        <source>Modified</source>
        <translation>Изменён</translation>
    </message>
</context>
<context>
    <name>pagora::TFilenameEdit</name>
    <message>
        <source>All files (*)</source>
        <translation>Все файлы (*)</translation>
    </message>
</context>
<context>
    <name>pagora::TForm1</name>
    <message>
        <source>to Nimbrel</source>
        <translation>для Nimbrel</translation>
    </message>
    <message>
        <source>Go Go Go !!!</source>
        <translation>Поехали!!! Собрать книгу</translation>
    </message>
    <message>
        <source>Path to PVM</source>
        <translation>Путь к PV Manager</translation>
    </message>
    <message>
        <source>PV Manager</source>
        <translation>Запустить PV Manager</translation>
    </message>
    <message>
        <source>Config Corvane</source>
        <translation>Настройки Corvane</translation>
    </message>
    <message>
        <source>Run compress &amp; Corvane</source>
        <translation>Сжать и отправить через Corvane</translation>
    </message>
    <message>
        <source>About</source>
        <translation>О программе</translation>
    </message>
    <message>
        <source>Drag files to the right panel<byte value="xd"/>
Double click - view text<byte value="xd"/>
Right click - context menu</source>
        <translation>Перетащите файлы на правую панель<byte value="xd"/>
Двойной щелчок — просмотр текста<byte value="xd"/>
Правый щелчок — контекстное меню</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>Фильтр</translation>
    </message>
    <message>
        <source>Text files (*.txt)</source>
        <translation>Текстовые файлы (*.txt)</translation>
    </message>
    <message>
        <source>Html files (*.*htm*)</source>
        <translation>HTML-файлы (*.*htm*)</translation>
    </message>
    <message>
        <source>All Files (*.*)</source>
        <translation>Все файлы (*.*)</translation>
    </message>
    <message>
        <source>Books (*.fb2 *.epub)</source>
        <translation>Книги (*.fb2 *.epub)</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Размер</translation>
    </message>
    <message>
        <source>Double click - view text<byte value="xd"/>
Right click - context menu</source>
        <translation>Двойной щелчок — просмотр текста<byte value="xd"/>
Правый щелчок — контекстное меню</translation>
    </message>
    <message>
        <source>Select target archive</source>
        <translation>Выбрать файл книги</translation>
    </message>
    <message>
        <source>Archive (*.lzh)</source>
        <translation>Архив (*.lzh)</translation>
    </message>
    <message>
        <source>Folders</source>
        <translation>Папки</translation>
    </message>
    <message>
        <source>View</source>
        <translation>Просмотр</translation>
    </message>
    <message>
        <source>Style</source>
        <translation>Вид</translation>
    </message>
    <message>
        <source>Icon</source>
        <translation>Крупные значки</translation>
    </message>
    <message>
        <source>List</source>
        <translation>Список</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>Таблица</translation>
    </message>
    <message>
        <source>Small Icon</source>
        <translation>Мелкие значки</translation>
    </message>
    <message>
        <source>Create file from clipboard</source>
        <translation>Создать файл из буфера обмена</translation>
    </message>
    <message>
        <source>Split file</source>
        <translation>Разбить файл</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>Переименовать</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Открыть</translation>
    </message>
    <message numerus="yes">
        <source>Book %1: %n file(s)</source>
        <translation>
            <numerusform>Книга %1: %n файл</numerusform>
            <numerusform>Книга %1: %n файла</numerusform>
            <numerusform>Книга %1: %n файлов</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>File %1
<byte value="xd"/>
<byte value="xd"/>Size: %2 bytes
<byte value="xd"/>
<byte value="xd"/>Ready to send in Casio PV</source>
        <translation>
            <numerusform>Файл %1
<byte value="xd"/>
<byte value="xd"/>Размер: %2 байт
<byte value="xd"/>
<byte value="xd"/>Готово к отправке в Casio PV</numerusform>
            <numerusform>Файл %1
<byte value="xd"/>
<byte value="xd"/>Размер: %2 байта
<byte value="xd"/>
<byte value="xd"/>Готово к отправке в Casio PV</numerusform>
            <numerusform>Файл %1
<byte value="xd"/>
<byte value="xd"/>Размер: %2 байт
<byte value="xd"/>
<byte value="xd"/>Готово к отправке в Casio PV</numerusform>
        </translation>
    </message>
    <message>
        <source>Error compress files</source>
        <translation>Ошибка при сжатии файлов</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>Подтверждение</translation>
    </message>
    <message numerus="yes">
        <source>File %1
<byte value="xd"/>
<byte value="xd"/>Size: %2 bytes
<byte value="xd"/>
<byte value="xd"/>Send to Casio PV ?</source>
        <translation>
            <numerusform>Файл %1
<byte value="xd"/>
<byte value="xd"/>Размер: %2 байт
<byte value="xd"/>
<byte value="xd"/>Отправить в Casio PV?</numerusform>
            <numerusform>Файл %1
<byte value="xd"/>
<byte value="xd"/>Размер: %2 байта
<byte value="xd"/>
<byte value="xd"/>Отправить в Casio PV?</numerusform>
            <numerusform>Файл %1
<byte value="xd"/>
<byte value="xd"/>Размер: %2 байт
<byte value="xd"/>
<byte value="xd"/>Отправить в Casio PV?</numerusform>
        </translation>
    </message>
    <message>
        <source>Executable (*.exe)</source>
        <translation>Программы (*.exe)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Все файлы (*)</translation>
    </message>
    <message numerus="yes">
        <source>Size : %1 bytes</source>
        <translation>
            <numerusform>Размер: %1 байт</numerusform>
            <numerusform>Размер: %1 байта</numerusform>
            <numerusform>Размер: %1 байт</numerusform>
        </translation>
    </message>
    <message>
        <source>Input</source>
        <translation>Ввод</translation>
    </message>
    <message>
        <source>name</source>
        <translation>Имя файла</translation>
    </message>
    <message>
        <source>Confirm </source>
        <translation>Подтверждение</translation>
    </message>
    <message>
        <source>Delete</source>
        <comment>question</comment>
        <translation>Удалить выбранные файлы?</translation>
    </message>
    <message>
        <source>New Name</source>
        <translation>Новое имя</translation>
    </message>
    <message>
        <source>Input</source>
        <comment>new name</comment>
        <translation>Новое имя файла:</translation>
    </message>
</context>
<context>
    <name>pagora::TForm2</name>
    <message>
        <source>DOS to WIN</source>
        <translation>Из DOS (866) в WIN (1251)</translation>
    </message>
    <message>
        <source>KOI to WIN</source>
        <translation>Из KOI8-R в WIN (1251)</translation>
    </message>
    <message>
        <source>UTF-8 to WIN</source>
        <translation>Из UTF-8 в WIN (1251)</translation>
    </message>
    <message>
        <source>Delete HTML tags</source>
        <translation>Удалить HTML-теги</translation>
    </message>
    <message>
        <source>Reload file</source>
        <translation>Перечитать файл</translation>
    </message>
    <message>
        <source>Converted from the book; Close saves the text as %1</source>
        <translation>Текст получен из книги; при закрытии он сохраняется как %1</translation>
    </message>
    <message>
        <source>The text looks like DOS code page 866: &quot;DOS to WIN&quot; converts it</source>
        <translation>Похоже, текст в кодировке DOS 866: перекодируйте его кнопкой «DOS»</translation>
    </message>
    <message>
        <source>The text looks like KOI8-R: &quot;KOI to WIN&quot; converts it</source>
        <translation>Похоже, текст в кодировке KOI8-R: перекодируйте его кнопкой «KOI»</translation>
    </message>
    <message>
        <source>The text looks like UTF-8: &quot;UTF-8 to WIN&quot; converts it</source>
        <translation>Похоже, текст в кодировке UTF-8: перекодируйте его кнопкой «UTF8»</translation>
    </message>
    <message>
        <source> (converted text, saved as %1)</source>
        <translation> (преобразованный текст, сохраняется как %1)</translation>
    </message>
    <message>
        <source>Confirm </source>
        <translation>Подтверждение</translation>
    </message>
    <message>
        <source>Save changes to
<byte value="xd"/>%1</source>
        <translation>Сохранить изменения в
<byte value="xd"/>%1?</translation>
    </message>
    <message>
        <source>Tidy: one line per paragraph from a wrapped text</source>
        <translation>Собрать абзацы: одна строка на абзац из текста с переносами строк</translation>
    </message>
    <message numerus="yes">
        <source>%n character(s) have no equivalent in code page 1251</source>
        <translation>
            <numerusform>%n символ не имеет соответствия в кодировке 1251</numerusform>
            <numerusform>%n символа не имеют соответствия в кодировке 1251</numerusform>
            <numerusform>%n символов не имеют соответствия в кодировке 1251</numerusform>
        </translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>Автоматически</translation>
    </message>
    <message>
        <source>One paragraph a line (leave the text as it is)</source>
        <translation>Абзац в одной строке (оставить текст как есть)</translation>
    </message>
    <message>
        <source>Indented paragraphs</source>
        <translation>Абзацы с отступом</translation>
    </message>
    <message>
        <source>Blank lines between paragraphs</source>
        <translation>Пустые строки между абзацами</translation>
    </message>
    <message>
        <source>By line width (a short line ends a paragraph)</source>
        <translation>По ширине строк (короткая строка завершает абзац)</translation>
    </message>
    <message>
        <source>Keep hyphens at line ends</source>
        <translation>Сохранять переносы в конце строк</translation>
    </message>
    <message>
        <source>automatic</source>
        <translation>автоматически</translation>
    </message>
    <message>
        <source>one paragraph a line</source>
        <translation>абзац в одной строке</translation>
    </message>
    <message>
        <source>indented paragraphs</source>
        <translation>абзацы с отступом</translation>
    </message>
    <message>
        <source>blank lines between paragraphs</source>
        <translation>пустые строки между абзацами</translation>
    </message>
    <message>
        <source>by line width</source>
        <translation>по ширине строк</translation>
    </message>
    <message>
        <source>Tidy (%1): %2 lines, %3 words rejoined, %4 page lines removed%5</source>
        <translation>Сборка абзацев (%1): строк — %2, слов собрано из переносов — %3, строк разметки страниц удалено — %4%5</translation>
    </message>
    <message>
        <source>, nothing to change</source>
        <translation>, менять нечего</translation>
    </message>
</context>
<context>
    <name>pagora::TForm3</name>
    <message>
        <source>Upload</source>
        <translation>Отправка</translation>
    </message>
    <message>
        <source>Please,  install VivavUruv.eve patch<byte value="xd"/>
into Casio PV.<byte value="xd"/>
Copy Corvane.exe in directory<byte value="xd"/>
of this program<byte value="xd"/>
<byte value="xd"/>
Download new version of these <byte value="xd"/>
programs from author site :</source>
        <translation>Пожалуйста, установите в Casio PV<byte value="xd"/>
патч VivavUruv.eve.<byte value="xd"/>
Скопируйте Corvane.exe в папку<byte value="xd"/>
этой программы<byte value="xd"/>
<byte value="xd"/>
Новые версии этих программ<byte value="xd"/>
есть на сайте автора:</translation>
    </message>
    <message>
        <source>Choose the handheld&apos;s serial device below: COM1 is /dev/ttyS0, a USB cable is /dev/ttyUSB0. You need to be in the group dialout (sudo usermod -a -G dialout $USER, then log in again). Put the Receiver image in ~/.local/share/pagora/receiver.hex.<byte value="xd"/>
More in the README, &quot;Preparing the handheld&quot;:</source>
        <translation>Выберите ниже последовательный порт карманного компьютера: COM1 — это /dev/ttyS0, USB-кабель — /dev/ttyUSB0. Нужно состоять в группе dialout (sudo usermod -a -G dialout $USER, затем войти в систему заново). Образ Receiver положите в ~/.local/share/pagora/receiver.hex.<byte value="xd"/>
Подробнее — в README, раздел «Preparing the handheld»:</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Порт</translation>
    </message>
    <message>
        <source>Baudrate</source>
        <translation>Скорость</translation>
    </message>
    <message>
        <source>Fast transfer</source>
        <translation>Быстрая передача</translation>
    </message>
    <message>
        <source>New: each block follows the handheld&apos;s reply at once instead of waiting for Corvane&apos;s 200 ms tick. Uncheck it if a device misbehaves.</source>
        <translation>Новое: каждый блок уходит сразу после ответа карманного компьютера, не дожидаясь такта Corvane в 200 мс. Снимите флажок, если устройство работает со сбоями.</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Язык</translation>
    </message>
    <message>
        <source>System</source>
        <translation>Как в системе</translation>
    </message>
    <message>
        <source>The language changes at the next start.</source>
        <translation>Язык сменится при следующем запуске.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>No permission to open %1: join the group &apos;%2&apos; that owns it, then log in again.</source>
        <translation>Нет прав на открытие %1: вступите в группу «%2», которой он принадлежит, и войдите в систему заново.</translation>
    </message>
    <message>
        <source>Convert texts to code page 1251</source>
        <translation>Перекодировать тексты в 1251</translation>
    </message>
    <message>
        <source>UTF-8, KOI8-R and DOS 866 texts are converted as the book is built; the files on disk stay as they are.</source>
        <translation>Тексты в UTF-8, KOI8-R и DOS 866 перекодируются при сборке книги; файлы на диске не меняются.</translation>
    </message>
    <message>
        <source>Tidy texts</source>
        <translation>Собирать абзацы</translation>
    </message>
    <message>
        <source>Hard-wrapped texts become one line per paragraph in the book; the files on disk stay as they are.</source>
        <translation>В книге каждый абзац текста с переносами строк становится одной строкой; файлы на диске не меняются.</translation>
    </message>
</context>
<context>
    <name>pagora::TForm4</name>
    <message>
        <source>Split</source>
        <translation>Разбиение файла</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Файл</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Размер</translation>
    </message>
    <message>
        <source>Chunk</source>
        <translation>Часть</translation>
    </message>
    <message numerus="yes">
        <source>%1 bytes</source>
        <translation>
            <numerusform>%1 байт</numerusform>
            <numerusform>%1 байта</numerusform>
            <numerusform>%1 байт</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>pagora::TfrAbout</name>
    <message>
        <source>About</source>
        <translation>О программе</translation>
    </message>
    <message>
        <source>Books for the Casio PV handheld:</source>
        <translation>Книги для карманного компьютера Casio PV:</translation>
    </message>
    <message>
        <source>plain texts packed with LZH, names in the handheld&apos;s letters,</source>
        <translation>простые тексты, сжатые LZH, с именами в кодировке устройства,</translation>
    </message>
    <message>
        <source>sent with Corvane or through PV Manager.</source>
        <translation>отправленные через Corvane или PV Manager.</translation>
    </message>
    <message>
        <source>ADT container component: the Pagora developers.</source>
        <translation>Компонент контейнера ADT: разработчики Pagora.</translation>
    </message>
</context>
</TS>
