/**
 * A typed Java API of the DLN adapter and the robot's devices: the adapter and the devices on
 * its I2C and SPI buses as objects, failures as exceptions that carry the native call's result
 * code.
 *
 * <p>Start from {@link i2cdln.Dln#create()}. The package has a native library of its own
 * ({@code i2cdln}, built from the same code as {@code I2C_DLN}): it keeps an adapter session open
 * between calls, so a raw read or write is one adapter call, reports every failure by its
 * result code and the step and device that failed, prints nothing and touches no file. Every
 * object is safe to share between threads; see each class for which calls may run at once and
 * how long each blocks. Each call states its worst case; the laser's {@code range()} ends
 * within a deadline the caller sets.
 */
package i2cdln;
