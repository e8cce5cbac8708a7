/* The controller of the meal-ticket machine: plug in the coin board VMIN
 * (key I, three times) and the ticket and change board VMOUT (key O, six
 * times), insert coins with 0-3, press a menu button with 4-6, cancel with 7
 * and take out ticket and change with the space bar. Q quits.
 *
 * Coins and buttons come as pulses on PDR5; tickets, change and lamps are
 * commands written to PDR8, each seen by the next sim_poll. */
#include <wena.h>

#define PRODUCTS 3
#define COIN_KINDS 4

/* PDR5: bits 0-3 a coin of kind 0-3, bits 4-6 the button of product 0-2,
 * bit 7 cancel. */
#define COIN_BITS 0x0F
#define CANCEL_BIT 0x80

/* PDR8: command in the high nibble, mask in the low one. */
#define CMD_CHANGE 0x00 /* pay one coin of the mask's kind; 0x00 re-arms */
#define CMD_TICKET 0x10 /* drop one ticket of the mask's product; 0x10 re-arms */
#define CMD_MENU 0x20   /* light the menu names of the mask's products */
#define CMD_LAMP3 0x30  /* "X" in lamp column 3: the product being sold */
#define CMD_LAMP4 0x40  /* "X" in lamp column 4: not enough money for it */

static const int price[PRODUCTS] = {270, 330, 380};
static const int coin_yen[COIN_KINDS] = {10, 50, 100, 500};

static int inserted;                /* yen inserted and neither sold nor paid back */
static int money_changed;           /* the menu lamps do not show `inserted` yet */
static unsigned char last_pdr5;     /* PDR5 after the previous poll */
static unsigned char pending;       /* a button pressed while the machine was busy */

/* The bit number of a one-bit value. */
static int bit_number(unsigned char bit)
{
    int n = 0;
    while (bit > 1) {
        bit >>= 1;
        ++n;
    }
    return n;
}

/* Blanks first, then the text: strlen would count bytes, and a katakana is
 * three bytes in UTF-8. */
static void lcd_line(int row, const char *text)
{
    lcd_goto(0, row);
    lcd_puts("                ");
    lcd_goto(0, row);
    lcd_puts(text);
}

static void show_money(void)
{
    lcd_goto(0, 0);
    lcd_puts("ﾆｭｳｷﾝ ");
    lcd_putdec(inserted);
    lcd_puts("ｴﾝ      ");
}

/* One poll; gives the press that has just begun (one bit), or 0. A press
 * stays on PDR5 until a poll finds no key, which takes more than one poll
 * when keys come fast, so only the poll where it appears counts. */
static unsigned char poll_press(void)
{
    unsigned char now, press;
    sim_poll();
    now = PDR5;
    press = now != last_pdr5 ? now : 0;
    last_pdr5 = now;
    if (press & (press - 1))
        return 0; /* not the coin board: it never sets two bits */
    return press;
}

/* A coin is money whenever it comes, even while the machine is busy. */
static int take_coin(unsigned char press)
{
    if (!(press & COIN_BITS))
        return 0;
    inserted += coin_yen[bit_number(press)];
    money_changed = 1;
    return 1;
}

/* Writes one command and lets a poll see it. A value counts only if a poll
 * sees it, and writing the value already seen does nothing. Every poll can
 * bring a press: a coin counts at once, a button waits until the machine is
 * free. */
static void command(unsigned char value)
{
    unsigned char press;
    PDR8 = value;
    press = poll_press();
    if (!take_coin(press) && press)
        pending = press;
}

/* The button that waited, or the next poll's press. */
static unsigned char next_press(void)
{
    unsigned char press = pending;
    pending = 0;
    return press ? press : poll_press();
}

/* Lights the names of the products the money covers, and clears the
 * "not enough money" lamps. */
static void show_menu(void)
{
    unsigned char covered = 0;
    int p;
    money_changed = 0;
    for (p = 0; p < PRODUCTS; ++p)
        if (inserted >= price[p])
            covered |= (unsigned char)(1 << p);
    command(CMD_MENU | covered);
    command(CMD_LAMP4);
    show_money();
}

/* Fewest coins: as many of the largest kind as fit, then the next. Each
 * coin is its mask, then 0x00 to re-arm the change dispenser. */
static void pay(int yen)
{
    int k;
    for (k = COIN_KINDS - 1; k >= 0; --k)
        while (yen >= coin_yen[k]) {
            command(CMD_CHANGE | (unsigned char)(1 << k));
            command(CMD_CHANGE);
            yen -= coin_yen[k];
        }
}

static void sell(int p)
{
    int change = inserted - price[p];
    inserted = 0;
    command(CMD_LAMP3 | (unsigned char)(1 << p));
    command(CMD_TICKET | (unsigned char)(1 << p));
    command(CMD_TICKET);
    pay(change);
    command(CMD_LAMP3);
    money_changed = 1;
    lcd_line(1, "ｱﾘｶﾞﾄｳｺﾞｻﾞｲﾏｽ");
}

static void pay_back(void)
{
    int yen = inserted;
    inserted = 0;
    pay(yen);
    money_changed = 1;
    lcd_line(1, "ﾍﾝｷｬｸｼﾏｼﾀ");
}

static void button(int p)
{
    if (inserted >= price[p]) {
        sell(p);
        return;
    }
    command(CMD_LAMP4 | (unsigned char)(1 << p));
    lcd_line(1, "ｷﾝｶﾞｸｶﾞ ﾀﾘﾏｾﾝ");
}

int main(void)
{
    pending = poll_press(); /* the first poll lays the board out */
    lcd_cursor_off();
    show_money();
    lcd_line(1, "ｺｳｶｦ ｲﾚﾃｸﾀﾞｻｲ");
    for (;;) {
        unsigned char press = next_press();
        if (take_coin(press))
            lcd_line(1, "ﾒﾆｭｰｦ ｴﾗﾝﾃﾞｸﾀﾞｻｲ");
        else if (press & CANCEL_BIT)
            pay_back();
        else if (press)
            button(bit_number(press) - 4);
        /* Coins may also have come while a sale or a payback was polling. */
        if (money_changed)
            show_menu();
        Sleep(10);
    }
}
