/* Every character the LCD can show, a page a second: built twice, with
 * UTF-8 strings and with code page 932 strings, it must show the same. The
 * code page 932 build is C89, as the older programs for this board are. */
#include <wena.h>

static const char *const pages[][2] = {
    {"ｽﾀｰﾄ : SW3", "ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿ"},
    {"ﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏ", "ﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝﾞﾟ"},
    {"｡｢｣､･ｦｧｨｩｪｫｬｭｮｯｰ", "¥100 \\ ~"},
};

/* Byte codes, as these displays are usually written to: in either build
 * the degree mark, and "te su" although UTF-8 reads it as "y acute". */
static const char degrees[] = "\xBD\xC0\xB0\xC4 25\xDF" "C \xC3\xBD";

static void ascii_line(int row, int first)
{
    int c;
    lcd_goto(0, row);
    for (c = first; c < first + 16 && c < 0x7F; ++c)
        lcd_putc((char)c);
}

int main(void)
{
    int i, first;
    const char *p;
    sim_poll();
    for (i = 0; i < 3; ++i) {
        lcd_clear();
        lcd_puts(pages[i][0]);
        lcd_goto(0, 1);
        /* Byte by byte: a UTF-8 character shows when its last byte comes. */
        for (p = pages[i][1]; *p != '\0'; ++p)
            lcd_putc(*p);
        Sleep(1000);
    }
    for (first = 0x20; first < 0x7F; first += 32) {
        lcd_clear();
        ascii_line(0, first);
        ascii_line(1, first + 16);
        Sleep(1000);
    }
    lcd_clear();
    lcd_puts(degrees);
    lcd_goto(0, 1);
    for (p = degrees; *p != '\0'; ++p)
        lcd_putc(*p);
    /* The first byte of a UTF-8 yen sign, which a pause cuts off. */
    lcd_putc('\xC2');
    Sleep(1);
    lcd_putc('\xA5');
    lcd_putc('\xC2');
    Sleep(1000);
    return 0;
}
