/**
 * A typed Java API over the fifteen native methods of {@code I2C_DLN}: the adapter and the
 * devices on its I2C and SPI buses as objects, failures as exceptions.
 *
 * <p>Start from {@link i2cdln.Dln#create()}. The native methods and their printed lines stay as
 * they are; this package calls them through method handles and judges each call from the slots
 * the method writes. Every object is safe to share between threads; see each class for which
 * calls may run at once and how long each blocks. Each call states its worst case: the bounds
 * of the native methods it makes (the library ends each native method within a bound of its
 * own, listed in the README's method table), plus a bounded probe of the server after a
 * failure; the laser's {@code range()} ends within a deadline the caller sets.
 */
package i2cdln;
