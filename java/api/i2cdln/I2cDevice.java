package i2cdln;

import java.util.Arrays;

/**
 * A device at one I2C address: raw reads and writes and register access. Every call opens its
 * own adapter connection, so calls from several threads may run at once. No call waits on
 * purpose: each costs only the adapter round trips (9 adapter calls for a read or a write).
 */
public final class I2cDevice {
    /** The most bytes one read hands back: the native method returns slots 2 to 9 only. */
    public static final int MAX_READ = 8;
    /** The most bytes one write sends. */
    public static final int MAX_WRITE = 253;
    // A byte slot carrying this bit still holds what Java put there: the call did not reach
    // the bus. The library sends only the low 8 bits, so the traffic is unchanged.
    private static final int UNTOUCHED = 0x100;

    private final Dln dln;
    private final int address;
    private final String device; // formatted once: messages are built on every call

    I2cDevice(Dln dln, int address) {
        this.dln = dln;
        this.address = address;
        this.device = Dln.i2cName(address);
    }

    /**
     * The device's address.
     *
     * @return the 7-bit address
     */
    public int address() {
        return address;
    }

    /**
     * Reads bytes from the device.
     *
     * <p>Worst case: the native method's bound, plus {@value Dln#PROBE_BOUND_MS} ms for the server
     * probe after a failure.
     *
     * @param count how many bytes, 1..8 (the native method hands back no more)
     * @return the bytes read, each 0..255
     * @throws ArgumentOutOfRangeException when count is outside 1..8
     * @throws NoDeviceException when the device did not answer
     * @throws NoServerException when no adapter server answers
     */
    public int[] read(int count) {
        String method = Native.READ.javaName;
        ArgumentOutOfRangeException.check(method, device, "byte count", count, 1,
                MAX_READ);
        int[] slots = new int[255];
        slots[0] = address;
        slots[1] = count;
        Arrays.fill(slots, 2, 2 + count, -1);
        Native.READ.call(slots);
        // A failed read leaves the data slots as they were; a byte read is 0..255.
        if (slots[2] < 0) {
            throw dln.failure(method, device, "read of " + count
                    + " bytes failed (no acknowledge or failed transfer)");
        }
        return Arrays.copyOfRange(slots, 2, 2 + count);
    }

    /**
     * Writes bytes to the device. A write of no bytes (a bare address probe) would show no
     * outcome in the slots, so it is refused; use {@link Adapter#scan()} to look for a device.
     * Worst case: the native method's bound, plus {@value Dln#PROBE_BOUND_MS} ms for the server
     * probe after a failure.
     *
     * @param bytes the bytes, 1 to 253 of them, each 0..255
     * @throws ArgumentOutOfRangeException when the count or a byte is outside its range
     * @throws NoDeviceException when the device did not acknowledge
     * @throws NoServerException when no adapter server answers
     */
    public void write(int... bytes) {
        String method = Native.WRITE.javaName;
        ArgumentOutOfRangeException.check(method, device, "byte count", bytes.length, 1,
                MAX_WRITE);
        int[] slots = new int[255];
        slots[0] = address;
        slots[1] = bytes.length;
        for (int i = 0; i < bytes.length; i++) {
            ArgumentOutOfRangeException.check(method, device, "byte " + i, bytes[i], 0, 255);
            slots[2 + i] = bytes[i] | UNTOUCHED;
        }
        Native.WRITE.call(slots);
        // A successful write hands back the bytes sent, without the marker bit.
        if (slots[2] >= UNTOUCHED) {
            throw dln.failure(method, device,
                    "write of " + bytes.length + " bytes failed (no acknowledge or failed transfer)");
        }
    }

    /**
     * Reads registers: writes the register number, then reads. Two adapter connections: another
     * thread's access to the same device may come between them. Worst case: the bounds of
     * {@code write} and {@code read}, plus {@value Dln#PROBE_BOUND_MS} ms after a failure.
     *
     * @param register the first register, 0..255
     * @param count how many bytes, 1..8
     * @return the registers' values, each 0..255
     * @throws ArgumentOutOfRangeException when an argument is outside its range
     * @throws NoDeviceException when the device did not answer
     * @throws NoServerException when no adapter server answers
     */
    public int[] readRegisters(int register, int count) {
        ArgumentOutOfRangeException.check(Native.WRITE.javaName, device,
                "register", register, 0, 255);
        ArgumentOutOfRangeException.check(Native.READ.javaName, device,
                "byte count", count, 1, MAX_READ);
        write(register);
        return read(count);
    }

    /**
     * Reads one register.
     *
     * @param register the register, 0..255
     * @return its value, 0..255
     * @throws ArgumentOutOfRangeException when the register is outside 0..255
     * @throws NoDeviceException when the device did not answer
     * @throws NoServerException when no adapter server answers
     */
    public int readRegister(int register) {
        return readRegisters(register, 1)[0];
    }

    /**
     * Writes registers from {@code register} on: one write of the register number followed by
     * the values.
     *
     * @param register the first register, 0..255
     * @param values the values, 1 to 252 of them, each 0..255
     * @throws ArgumentOutOfRangeException when an argument is outside its range
     * @throws NoDeviceException when the device did not acknowledge
     * @throws NoServerException when no adapter server answers
     */
    public void writeRegisters(int register, int... values) {
        String method = Native.WRITE.javaName;
        ArgumentOutOfRangeException.check(method, device, "register", register, 0,
                255);
        ArgumentOutOfRangeException.check(method, device, "value count",
                values.length, 1, MAX_WRITE - 1);
        int[] bytes = new int[values.length + 1];
        bytes[0] = register;
        System.arraycopy(values, 0, bytes, 1, values.length);
        write(bytes);
    }
}
