<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="nb">
<context>
    <name>AuditMarking</name>
    <message>
        <source>Ikke nok minne til å merke filene som mangler; merkingen er stoppet.</source>
        <translation>Not enough memory to mark the missing files; marking has stopped.</translation>
    </message>
    <message>
        <source>%1 finnes ikke</source>
        <translation>%1 does not exist</translation>
    </message>
    <message>
        <source> (%1, linje %2)</source>
        <translation> (%1, line %2)</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>les de fem oppstartsfilene og skriv dem ut som JSON</source>
        <translation>read the five start-up files and write them out as JSON</translation>
    </message>
    <message>
        <source>sjekk om filen linjen nevner finnes, som JSON</source>
        <translation>check whether the file the line names exists, as JSON</translation>
    </message>
    <message>
        <source>finn filene oppstarten laster som ikke finnes på stasjonen, én linje for hver</source>
        <translation>find the files the start-up loads that do not exist on the drive, one line each</translation>
    </message>
    <message>
        <source>vis denne hjelpen</source>
        <translation>show this help</translation>
    </message>
    <message>
        <source>vis versjonen</source>
        <translation>show the version</translation>
    </message>
    <message>
        <source>bare én av %1 og %2</source>
        <translation>only one of %1 and %2</translation>
    </message>
    <message>
        <source>--drive trenger X=MAPPE eller X=BILDE</source>
        <translation>--drive needs X=FOLDER or X=IMAGE</translation>
    </message>
    <message>
        <source>--drive %1: ventet X=MAPPE eller X=BILDE, for eksempel C=/mnt/win98</source>
        <translation>--drive %1: expected X=FOLDER or X=IMAGE, for example C=/mnt/win98</translation>
    </message>
    <message>
        <source>--drive %1: er gitt mer enn én gang</source>
        <translation>--drive %1: is given more than once</translation>
    </message>
    <message>
        <source>--lang trenger nb (norsk) eller en (engelsk)</source>
        <translation>--lang needs nb (Norwegian) or en (English)</translation>
    </message>
    <message>
        <source>ukjent argument: %1 (se --help)</source>
        <translation>unknown argument: %1 (see --help)</translation>
    </message>
    <message>
        <source>%1 trenger en linje</source>
        <translation>%1 needs a line</translation>
    </message>
    <message>
        <source>--json gjelder bare --audit</source>
        <translation>--json applies to --audit only</translation>
    </message>
    <message>
        <source>stasjon X: er denne mappen, eller diskbildet (BILDE eller BILDE#N</source>
        <translation>drive X: is this folder, or the disk image (IMAGE or IMAGE#N</translation>
    </message>
    <message>
        <source>for partisjon N), lest med mtools; kan gjentas</source>
        <translation>for partition N), read with mtools; may be repeated</translation>
    </message>
    <message>
        <source>med --audit: skriv funnene som JSON</source>
        <translation>with --audit: write the findings as JSON</translation>
    </message>
    <message>
        <source>vis vinduet og teksten på norsk eller engelsk</source>
        <translation>show the window and the text in Norwegian or English</translation>
    </message>
    <message>
        <source>Bruk: vendral [--drive X=STED]... [--lang nb|en] [%1] [STED]...
Viser oppstartsoppsettet til en Windows 95/98-PC. Ingen fil blir skrevet.

Hvert STED er en disk i PC-en, i rekkefølge: en mappe eller et diskbilde.
Stasjonene får bokstaver slik DOS gir dem: C: er den aktive FAT-partisjonen
på disk 1, så den første på hver av de andre diskene, så de logiske
stasjonene disk for disk, så resten av de primære. --drive vinner over dette.

</source>
        <translation>Usage: vendral [--drive X=PLACE]... [--lang nb|en] [%1] [PLACE]...
Shows the start-up configuration of a Windows 95/98 PC. No file is written.

Each PLACE is a disk of the PC, in order: a folder or a disk image.
The drives get letters as DOS gives them: C: is the active FAT partition
on disk 1, then the first one on each of the other disks, then the logical
drives disk by disk, then the rest of the primary ones. --drive wins over this.

</translation>
    </message>
    <message>
        <source>--drive %1=%2: partisjonsnummeret må være 1 til 4, eller 5 og høyere for logiske stasjoner</source>
        <translation>--drive %1=%2: the partition number must be 1 to 4, or 5 and up for logical drives</translation>
    </message>
    <message>
        <source>--drive %1: %2 er verken en mappe eller et diskbilde</source>
        <translation>--drive %1: %2 is neither a folder nor a disk image</translation>
    </message>
    <message>
        <source>LINJE</source>
        <translation>LINE</translation>
    </message>
    <message>
        <source>--drive X=STED</source>
        <translation>--drive X=PLACE</translation>
    </message>
</context>
<context>
    <name>LineListView</name>
    <message>
        <source>Kopier linje</source>
        <translation>Copy line</translation>
    </message>
    <message>
        <source>Kopier alle linjer</source>
        <translation>Copy all lines</translation>
    </message>
</context>
<context>
    <name>MachineChooser</name>
    <message>
        <source>Velg maskin</source>
        <translation>Choose machine</translation>
    </message>
    <message>
        <source>&amp;Mappe eller diskbilde med PC-ens stasjon C:</source>
        <translation>&amp;Folder or disk image with the PC&apos;s drive C:</translation>
    </message>
    <message>
        <source>&amp;Mappe med PC-ens stasjon C:</source>
        <translation>&amp;Folder with the PC&apos;s drive C:</translation>
    </message>
    <message>
        <source>Velg mappe</source>
        <translation>Choose folder</translation>
    </message>
    <message>
        <source>&amp;Diskbilde med PC-ens stasjon C:</source>
        <translation>&amp;Disk image with the PC&apos;s drive C:</translation>
    </message>
    <message>
        <source>Velg diskbilde</source>
        <translation>Choose disk image</translation>
    </message>
    <message>
        <source>&amp;Åpne</source>
        <translation>&amp;Open</translation>
    </message>
    <message>
        <source>&amp;Avbryt</source>
        <translation>&amp;Cancel</translation>
    </message>
</context>
<context>
    <name>TEndreForm</name>
    <message>
        <source>Endre innstilling</source>
        <translation>Change setting</translation>
    </message>
    <message>
        <source>Original tekst:</source>
        <translation>Original text:</translation>
    </message>
    <message>
        <source>Ny tekst</source>
        <translation>New text</translation>
    </message>
    <message>
        <source>Filen finnes ikke</source>
        <translation>The file does not exist</translation>
    </message>
    <message>
        <source>Sjekken fant ikke filen som den nye teksten peker på.</source>
        <translation>The check did not find the file the new text points to.</translation>
    </message>
    <message>
        <source>Filen finnes ikke !</source>
        <translation>The file does not exist !</translation>
    </message>
    <message>
        <source>Filen finnes</source>
        <translation>The file exists</translation>
    </message>
    <message>
        <source>Sjekken fant filen som den nye teksten peker på.</source>
        <translation>The check found the file the new text points to.</translation>
    </message>
    <message>
        <source>Filen finnes.</source>
        <translation>The file exists.</translation>
    </message>
    <message>
        <source>Kjør ..</source>
        <translation>Run ..</translation>
    </message>
    <message>
        <source>Sjekk ...</source>
        <translation>Check ...</translation>
    </message>
    <message>
        <source>O&amp;k</source>
        <translation>O&amp;K</translation>
    </message>
    <message>
        <source>&amp;Avbryt</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <source>Setter inn den norske linjen: landkode 047 og tegntabell 850 i en COUNTRY-linje, eller den norske skjermdriveren i en DISPLAY.SYS-linje.</source>
        <translation>Puts in the Norwegian line: country code 047 and code page 850 in a COUNTRY line, or the Norwegian display driver in a DISPLAY.SYS line.</translation>
    </message>
    <message>
        <source>«%1» kan ikke lagres: filen har bare tegn fra Windows-1252</source>
        <translation>“%1” cannot be stored: the file holds only Windows-1252 characters</translation>
    </message>
    <message>
        <source>%1 finnes.</source>
        <translation>%1 exists.</translation>
    </message>
    <message>
        <source>%1 finnes ikke !</source>
        <translation>%1 does not exist !</translation>
    </message>
</context>
<context>
    <name>TMsDosForm</name>
    <message>
        <source>&amp;Paths</source>
        <translation>&amp;Paths</translation>
    </message>
    <message>
        <source>&amp;Options</source>
        <translation>&amp;Options</translation>
    </message>
    <message>
        <source>Vent i to sekunder for å sjekke om det er trykket på F8 under oppstart.</source>
        <translation>Wait two seconds to check whether F8 was pressed during start-up.</translation>
    </message>
    <message>
        <source>Forklaring til BootDelay</source>
        <translation>About BootDelay</translation>
    </message>
    <message>
        <source>Vent i to sekunder for å sjekke om</source>
        <translation>Wait two seconds to check whether</translation>
    </message>
    <message>
        <source>det er trykket på F8 under oppstart.</source>
        <translation>F8 was pressed during start-up.</translation>
    </message>
    <message>
        <source>oppstart</source>
        <translation>startup</translation>
    </message>
    <message>
        <source>&amp;Hent verdier</source>
        <translation>&amp;Get values</translation>
    </message>
    <message>
        <source>&amp;Lagre og avslutt</source>
        <translation>&amp;Save and exit</translation>
    </message>
    <message>
        <source>&amp;Avbryt</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <source>Ingen stasjon C er oppgitt: start Vendral med --drive C=MAPPE, der MAPPE er en mappe eller et diskbilde med PC-ens stasjon C, eller lag et Wine-prefiks (~/.wine eller WINEPREFIX).</source>
        <translation>No drive C is given: start Vendral with --drive C=FOLDER, where FOLDER is a folder or a disk image with the PC&apos;s drive C, or make a Wine prefix (~/.wine or WINEPREFIX).</translation>
    </message>
    <message>
        <source>Sider</source>
        <translation>Pages</translation>
    </message>
    <message>
        <source>Oppstartsinnstillingene og linjene i hver oppstartsfil, én side hver. Ctrl+Tab går til neste side.</source>
        <translation>The start-up settings and the lines of each start-up file, one page each. Ctrl+Tab goes to the next page.</translation>
    </message>
    <message>
        <source>registeret, Oppstart-mappene, WINSTART.BAT og DOSSTART.BAT</source>
        <translation>the registry, the Startup folders, WINSTART.BAT and DOSSTART.BAT</translation>
    </message>
    <message>
        <source> i Windows-mappen</source>
        <translation> in the Windows folder</translation>
    </message>
    <message>
        <source>Linjer i %1</source>
        <translation>Lines in %1</translation>
    </message>
    <message>
        <source>Linjene i %1 slik de står nå. Dobbeltklikk en linje for å endre den.</source>
        <translation>The lines of %1 as they stand now. Double-click a line to change it.</translation>
    </message>
    <message>
        <source>Seksjoner i %1</source>
        <translation>Sections in %1</translation>
    </message>
    <message>
        <source>Seksjonsoverskriftene i %1. Velg en for å gå til den i linjene.</source>
        <translation>The section headers of %1. Choose one to go to it in the lines.</translation>
    </message>
    <message>
        <source>Velg &amp;mappe ...</source>
        <translation>Choose &amp;folder ...</translation>
    </message>
    <message>
        <source>Velg &amp;diskbilde ...</source>
        <translation>Choose &amp;disk image ...</translation>
    </message>
    <message>
        <source>Avs&amp;lutt</source>
        <translation>&amp;Quit</translation>
    </message>
    <message>
        <source>Endringene i linjene går tapt. Vil du åpne den andre maskinen likevel?</source>
        <translation>The changes to the lines will be lost. Open the other machine anyway?</translation>
    </message>
</context>
<context>
    <name>auditcommand</name>
    <message>
        <source>%1: kan ikke leses (%2)
</source>
        <translation>%1: cannot be read (%2)
</translation>
    </message>
    <message>
        <source>%1: %2 finnes ikke
</source>
        <translation>%1: %2 does not exist
</translation>
    </message>
</context>
<context>
    <name>drives</name>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 ms</translation>
    </message>
    <message>
        <source>%1 kan ikke startes: %2</source>
        <translation>%1 cannot be started: %2</translation>
    </message>
    <message>
        <source> (er pakken %1 installert?)</source>
        <translation> (is the package %1 installed?)</translation>
    </message>
    <message>
        <source>%1 ble ikke ferdig innen %2 og ble stoppet</source>
        <translation>%1 did not finish within %2 and was stopped</translation>
    </message>
    <message>
        <source>%1 skrev mer enn %2 MB og ble stoppet</source>
        <translation>%1 wrote more than %2 MB and was stopped</translation>
    </message>
    <message>
        <source>%1 stoppet uventet (signal %2)</source>
        <translation>%1 stopped unexpectedly (signal %2)</translation>
    </message>
    <message>
        <source>programmet finnes ikke</source>
        <translation>the program does not exist</translation>
    </message>
    <message>
        <source>kunne ikke lese filen (%1)</source>
        <translation>could not read the file (%1)</translation>
    </message>
    <message>
        <source>det tok for lang tid å lese filen</source>
        <translation>reading the file took too long</translation>
    </message>
    <message>
        <source>filen er skadet: leseren stoppet</source>
        <translation>the file is damaged: the reader stopped</translation>
    </message>
    <message>
        <source>filen finnes ikke</source>
        <translation>the file does not exist</translation>
    </message>
    <message>
        <source>mappen finnes ikke</source>
        <translation>the folder does not exist</translation>
    </message>
    <message>
        <source>peker ut av stasjonen</source>
        <translation>points out of the drive</translation>
    </message>
    <message>
        <source>symbolske lenker går i ring</source>
        <translation>symbolic links go round in a loop</translation>
    </message>
    <message>
        <source>ingen tilgang til mappen</source>
        <translation>no access to the folder</translation>
    </message>
    <message>
        <source>ingen lesetilgang</source>
        <translation>no read access</translation>
    </message>
    <message>
        <source>navnet er for langt</source>
        <translation>the name is too long</translation>
    </message>
    <message>
        <source>lesefeil på disken</source>
        <translation>read error on the disk</translation>
    </message>
    <message>
        <source>ikke nok minne</source>
        <translation>not enough memory</translation>
    </message>
    <message>
        <source>for mange åpne filer</source>
        <translation>too many open files</translation>
    </message>
    <message>
        <source>kan ikke leses (systemfeil %1)</source>
        <translation>cannot be read (system error %1)</translation>
    </message>
    <message>
        <source>mappen for stasjonen (%1) finnes ikke</source>
        <translation>the folder for the drive (%1) does not exist</translation>
    </message>
    <message>
        <source>mappen for stasjonen (%1): %2</source>
        <translation>the folder for the drive (%1): %2</translation>
    </message>
    <message>
        <source>en symbolsk lenke som ikke fører til noen fil</source>
        <translation>a symbolic link that leads to no file</translation>
    </message>
    <message>
        <source>det er en mappe, ikke en fil</source>
        <translation>it is a folder, not a file</translation>
    </message>
    <message>
        <source>det er ikke en vanlig fil</source>
        <translation>it is not a regular file</translation>
    </message>
    <message>
        <source>filen er for stor (%1 byte)</source>
        <translation>the file is too large (%1 bytes)</translation>
    </message>
    <message>
        <source>filen er for stor til å holdes i minnet (%1 byte)</source>
        <translation>the file is too large to be held in memory (%1 bytes)</translation>
    </message>
    <message>
        <source>det er ikke en mappe</source>
        <translation>it is not a folder</translation>
    </message>
    <message>
        <source>den utvidede partisjonen i %1 peker ut av disken</source>
        <translation>the extended partition in %1 points out of the disk</translation>
    </message>
    <message>
        <source>den utvidede partisjonen i %1 peker tilbake på seg selv</source>
        <translation>the extended partition in %1 points back at itself</translation>
    </message>
    <message>
        <source>den utvidede partisjonen i %1 er skadet</source>
        <translation>the extended partition in %1 is damaged</translation>
    </message>
    <message>
        <source>en logisk stasjon i %1 går ut over disken</source>
        <translation>a logical drive in %1 reaches past the end of the disk</translation>
    </message>
    <message>
        <source>%1 er avkortet: %2 slutter før byte %3</source>
        <translation>%1 is truncated: %2 ends before byte %3</translation>
    </message>
    <message>
        <source>stasjon %1: er ikke tilordnet</source>
        <translation>drive %1: is not assigned</translation>
    </message>
    <message>
        <source>%1 har en for lang kjede av foreldrebilder</source>
        <translation>%1 has too long a chain of parent images</translation>
    </message>
    <message>
        <source>foreldrebildet %1 er ikke et VHD-bilde</source>
        <translation>the parent image %1 is not a VHD image</translation>
    </message>
    <message>
        <source>%1 er et skadet eller avkortet %2-bilde</source>
        <translation>%1 is a damaged or truncated %2 image</translation>
    </message>
    <message>
        <source>%1 inneholder ingen FAT-stasjon</source>
        <translation>%1 holds no FAT drive</translation>
    </message>
    <message>
        <source>%1 er avkortet: FAT-stasjonen trenger %2 byte, men bildet slutter etter %3</source>
        <translation>%1 is truncated: the FAT drive needs %2 bytes, but the image ends after %3</translation>
    </message>
    <message>
        <source>%1 er verken en mappe eller et diskbilde</source>
        <translation>%1 is neither a folder nor a disk image</translation>
    </message>
    <message>
        <source>%1 finnes ikke</source>
        <translation>%1 does not exist</translation>
    </message>
    <message>
        <source>ingen lesetilgang til %1</source>
        <translation>no read access to %1</translation>
    </message>
    <message>
        <source>%1 er en lenke som peker i ring</source>
        <translation>%1 is a link that points round in a loop</translation>
    </message>
    <message>
        <source>kan ikke åpne %1 (feil %2)</source>
        <translation>cannot open %1 (error %2)</translation>
    </message>
    <message>
        <source>%1 er ingen fil vendral følger</source>
        <translation>%1 is no file vendral follows</translation>
    </message>
    <message>
        <source>%1 er ikke en vanlig fil</source>
        <translation>%1 is not a regular file</translation>
    </message>
    <message>
        <source>fikk ikke minne (memfd: feil %1)</source>
        <translation>could not get memory (memfd: error %1)</translation>
    </message>
    <message>
        <source>%1 er et skadet eller avkortet QCOW2-bilde</source>
        <translation>%1 is a damaged or truncated QCOW2 image</translation>
    </message>
    <message>
        <source>%1 er et QCOW2-bilde av en utgave eller type som QEMU ikke kan lese</source>
        <translation>%1 is a QCOW2 image of a version or type QEMU cannot read</translation>
    </message>
    <message>
        <source>%1 er et QCOW2-bilde med egenskaper vendral ikke kjenner (0x%2)</source>
        <translation>%1 is a QCOW2 image with features vendral does not know (0x%2)</translation>
    </message>
    <message>
        <source>%1 er et QCOW2-bilde med flere tabeller enn vendral leser</source>
        <translation>%1 is a QCOW2 image with more tables than vendral reads</translation>
    </message>
    <message>
        <source>%1 er et VMDK-bilde med et foreldrenavn vendral ikke forstår</source>
        <translation>%1 is a VMDK image with a parent name vendral does not understand</translation>
    </message>
    <message>
        <source>en del av %1 er ikke et VMDK-bilde: %2</source>
        <translation>a part of %1 is not a VMDK image: %2</translation>
    </message>
    <message>
        <source>%1 bygger på en differanse-VHD, som QEMU ikke kan følge</source>
        <translation>%1 builds on a differencing VHD, which QEMU cannot follow</translation>
    </message>
    <message>
        <source>%1 bygger på et VHDX-bilde, som vendral ikke leser</source>
        <translation>%1 builds on a VHDX image, which vendral does not read</translation>
    </message>
    <message>
        <source>foreldrebildet til %1 er ikke det bildet det ble laget fra: %2</source>
        <translation>the parent image of %1 is not the image it was made from: %2</translation>
    </message>
    <message>
        <source>%1 er et %2-bilde av en utgave eller type som QEMU ikke kan lese</source>
        <translation>%1 is a %2 image of a version or type QEMU cannot read</translation>
    </message>
    <message>
        <source>kan ikke lese %1: %2</source>
        <translation>cannot read %1: %2</translation>
    </message>
    <message>
        <source>fikk ikke minne til å lese %1</source>
        <translation>could not get memory to read %1</translation>
    </message>
    <message>
        <source>fikk ikke lest %1</source>
        <translation>could not read %1</translation>
    </message>
    <message>
        <source>som foreldrebilde</source>
        <translation>as its parent image</translation>
    </message>
    <message>
        <source>som en del av seg</source>
        <translation>as a part of itself</translation>
    </message>
    <message>
        <source>%1 nevner «%2» %3, og det er ingen fil; vendral følger bare filer</source>
        <translation>%1 names “%2” %3, and that is no file; vendral follows files only</translation>
    </message>
    <message>
        <source>%1 nevner %2 %3, og i /dev, /proc og /sys leser vendral ingenting</source>
        <translation>%1 names %2 %3, and vendral reads nothing in /dev, /proc and /sys</translation>
    </message>
    <message>
        <source>foreldrebildet til %1 kan ikke leses: %2</source>
        <translation>the parent image of %1 cannot be read: %2</translation>
    </message>
    <message>
        <source>en del av %1 kan ikke leses: %2</source>
        <translation>a part of %1 cannot be read: %2</translation>
    </message>
    <message>
        <source>%1 er et skadet eller avkortet differanse-VHD-bilde</source>
        <translation>%1 is a damaged or truncated differencing VHD image</translation>
    </message>
    <message>
        <source>foreldrebildet til %1 kan ikke leses: %2 finnes ikke</source>
        <translation>the parent image of %1 cannot be read: %2 does not exist</translation>
    </message>
    <message>
        <source>(ikke oppgitt)</source>
        <translation>(not given)</translation>
    </message>
    <message>
        <source>%1 ble ikke lest ferdig innen tidsgrensen og ble gitt opp</source>
        <translation>%1 was not read to the end within the time limit and was given up</translation>
    </message>
    <message>
        <source>%1 er avkortet: blokk %2 mangler</source>
        <translation>%1 is truncated: block %2 is missing</translation>
    </message>
    <message>
        <source>fikk ikke minne til disken (memfd: feil %1)</source>
        <translation>could not get memory for the disk (memfd: error %1)</translation>
    </message>
    <message>
        <source>fikk ikke minne til en disk på %1 byte</source>
        <translation>could not get memory for a disk of %1 bytes</translation>
    </message>
    <message>
        <source>den utvidede partisjonen i %1 har flere logiske stasjoner enn noen FDISK lager</source>
        <translation>the extended partition in %1 has more logical drives than any FDISK makes</translation>
    </message>
    <message>
        <source>%1 er for lite til å være et diskbilde</source>
        <translation>%1 is too small to be a disk image</translation>
    </message>
    <message>
        <source>%1 har ingen partisjon %2</source>
        <translation>%1 has no partition %2</translation>
    </message>
    <message>
        <source>partisjon %1 i %2 inneholder ingen FAT-stasjon</source>
        <translation>partition %1 in %2 holds no FAT drive</translation>
    </message>
    <message>
        <source>%1 er et %2-bilde der to deler av disken peker på samme sted i filen; vendral leser det ikke</source>
        <translation>%1 is a %2 image where two parts of the disk point to the same place in the file; vendral does not read it</translation>
    </message>
    <message>
        <source>%1 er et %2-bilde, som vendral ikke leser; gjør det om til et rått bilde, for eksempel med: qemu-img convert -f %3 -O raw %1 %1.img</source>
        <translation>%1 is a %2 image, which vendral does not read; turn it into a raw image, for example with: qemu-img convert -f %3 -O raw %1 %1.img</translation>
    </message>
    <message>
        <source>%1 bruker en ekstern datafil, og den følger ikke vendral; lag en kopi uten med qemu-img convert først</source>
        <translation>%1 uses an external data file, which vendral does not follow; make a copy without one with qemu-img convert first</translation>
    </message>
    <message>
        <source>%1 er et QCOW2-bilde der to deler av disken peker på samme sted i filen; vendral leser det ikke</source>
        <translation>%1 is a QCOW2 image where two parts of the disk point to the same place in the file; vendral does not read it</translation>
    </message>
    <message>
        <source>%1 er kryptert, og vendral leser ikke krypterte bilder; lag en ukryptert kopi med qemu-img convert først</source>
        <translation>%1 is encrypted, and vendral does not read encrypted images; make an unencrypted copy with qemu-img convert first</translation>
    </message>
    <message>
        <source>%1 er et differanse-VDI (et øyeblikksbilde i VirtualBox), som QEMU ikke kan følge; slå øyeblikksbildene sammen i VirtualBox først</source>
        <translation>%1 is a differencing VDI (a VirtualBox snapshot), which QEMU cannot follow; merge the snapshots in VirtualBox first</translation>
    </message>
    <message>
        <source>%1 nevner %2 %3 utenfor bildets mappe, og en rå fil der leser vendral ikke; legg den i samme mappe som bildet</source>
        <translation>%1 names %2 %3 outside the image&apos;s folder, and vendral reads no raw file there; put it in the same folder as the image</translation>
    </message>
    <message>
        <source>%1 er et differanse-VHD-bilde som er for oppstykket til at vendral leser det</source>
        <translation>%1 is a differencing VHD image too fragmented for vendral to read</translation>
    </message>
    <message>
        <source>%1 ber om mer enn %2 MiB av disken, mer enn noen oppstart trenger; vendral leser ikke videre</source>
        <translation>%1 asks for more than %2 MiB of the disk, more than any start-up needs; vendral reads no further</translation>
    </message>
    <message>
        <source>linje %1 i VMDK-beskrivelsen til %2 er ukjent for vendral, som derfor ikke leser bildet</source>
        <translation>line %1 in the VMDK descriptor of %2 is unknown to vendral, which therefore does not read the image</translation>
    </message>
    <message>
        <source>FAT-stasjonen er skadet: %1</source>
        <translation>the FAT drive is damaged: %1</translation>
    </message>
    <message>
        <source>klyngekjeden brytes ved klynge %1</source>
        <translation>the cluster chain breaks at cluster %1</translation>
    </message>
    <message>
        <source>klyngekjeden går i ring</source>
        <translation>the cluster chain loops</translation>
    </message>
    <message>
        <source>filen er kortere enn størrelsen den oppgir</source>
        <translation>the file is shorter than the size it states</translation>
    </message>
    <message>
        <source>en mappe har flere oppføringer enn FAT tillater</source>
        <translation>a folder has more entries than FAT allows</translation>
    </message>
    <message>
        <source>%1 er avkortet: bildet slutter før byte %2</source>
        <translation>%1 is cut off: the image ends before byte %2</translation>
    </message>
</context>
<context>
    <name>failurereport</name>
    <message>
        <source>Ikke nok minne til å gjøre ferdig.</source>
        <translation>Not enough memory to finish.</translation>
    </message>
</context>
<context>
    <name>headless</name>
    <message>
        <source>Ikke nok minne til å lese oppstartsfilene.</source>
        <translation>Not enough memory to read the start-up files.</translation>
    </message>
    <message>
        <source>ikke nok minne til å gjøre ferdig; oppstartsfilene er større enn det vendral får plass til</source>
        <translation>not enough memory to finish; the start-up files are larger than vendral has room for</translation>
    </message>
</context>
<context>
    <name>loading</name>
    <message>
        <source>Linjenummer %1 er utenfor listen (%2 linjer).</source>
        <translation>Line number %1 is outside the list (%2 lines).</translation>
    </message>
    <message>
        <source>Kan ikke lese %1: %2.</source>
        <translation>Cannot read %1: %2.</translation>
    </message>
    <message>
        <source>Filen er for stor (%1 byte).</source>
        <translation>The file is too large (%1 bytes).</translation>
    </message>
    <message>
        <source>Filen har for mange linjer (over %1).</source>
        <translation>The file has too many lines (over %1).</translation>
    </message>
    <message>
        <source>Listen kan ikke holde flere linjer.</source>
        <translation>The list cannot hold more lines.</translation>
    </message>
    <message>
        <source>Listen kan ikke holde mer tekst.</source>
        <translation>The list cannot hold more text.</translation>
    </message>
    <message>
        <source>filen er for stor til å holdes i minnet (%1 byte)</source>
        <translation>the file is too large to be held in memory (%1 bytes)</translation>
    </message>
    <message>
        <source>filen er for stor til å være et register (%1 byte)</source>
        <translation>the file is too large to be a registry (%1 bytes)</translation>
    </message>
    <message>
        <source>filen er ikke et lesbart Windows 95/98-register</source>
        <translation>the file is not a readable Windows 95/98 registry</translation>
    </message>
    <message>
        <source>filen er skadet: leseren stoppet</source>
        <translation>the file is damaged: the reader stopped</translation>
    </message>
    <message>
        <source>filen er for stor til å være en snarvei (%1 byte)</source>
        <translation>the file is too large to be a shortcut (%1 bytes)</translation>
    </message>
    <message>
        <source>filen er ikke en lesbar snarvei</source>
        <translation>the file is not a readable shortcut</translation>
    </message>
</context>
</TS>
