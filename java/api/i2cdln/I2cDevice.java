package i2cdln;

/**
 * A device at one I2C address: raw reads and writes and register access. No call waits on
 * purpose: a read or a write is one adapter call on the {@link Dln}'s kept session. Safe to
 * share between threads; calls from several threads run at once, each on a session of its own.
 *
 * <p>Worst case of a read or a write: its native call's bound of 1 s; of the register calls,
 * two such (see {@link Dln} on worst-case times).
 */
public final class I2cDevice {
    /** The most bytes one read hands back. */
    public static final int MAX_READ = 256;
    /** The most bytes one write sends. */
    public static final int MAX_WRITE = 256;

    private final Dln dln;
    private final int address;
    private final String device; // formatted once: messages are built on every failure

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
     * Reads bytes from the device: one {@code DlnI2cMasterRead}.
     *
     * @param count how many bytes, 1..256
     * @return the bytes read, each 0..255
     * @throws ArgumentOutOfRangeException when count is outside 1..256
     * @throws NoDeviceException when the device did not answer (0x44 I2C NACK, 0x4F failed)
     * @throws NoServerException when no adapter server answers
     */
    public int[] read(int count) {
        String method = "I2cDevice.read";
        ArgumentOutOfRangeException.check(method, device, "byte count", count, 1, MAX_READ);
        byte[] buffer = new byte[count];
        dln.session().run(method, device,
                session -> NativeSession.i2cRead(session, address, buffer, count));
        int[] bytes = new int[count];
        for (int i = 0; i < count; i++) {
            bytes[i] = buffer[i] & 0xFF;
        }
        return bytes;
    }

    /**
     * Writes bytes to the device: one {@code DlnI2cMasterWrite}.
     *
     * @param bytes the bytes, 1 to 256 of them, each 0..255
     * @throws ArgumentOutOfRangeException when the count or a byte is outside its range
     * @throws NoDeviceException when the device did not acknowledge (0x44 I2C NACK, 0x4F
     *     failed)
     * @throws NoServerException when no adapter server answers
     */
    public void write(int... bytes) {
        String method = "I2cDevice.write";
        ArgumentOutOfRangeException.check(method, device, "byte count", bytes.length, 1,
                MAX_WRITE);
        byte[] buffer = new byte[bytes.length];
        for (int i = 0; i < bytes.length; i++) {
            buffer[i] = (byte) ArgumentOutOfRangeException.check(method, device, "byte " + i,
                    bytes[i], 0, 255);
        }
        // Repeated only when the kept session proved stale: the request then never left.
        dln.session().run(method, device,
                session -> NativeSession.i2cWrite(session, address, buffer, buffer.length));
    }

    /**
     * Reads registers: writes the register number, then reads; two adapter calls. Another
     * thread's access to the same device may come between them.
     *
     * @param register the first register, 0..255
     * @param count how many bytes, 1..256
     * @return the registers' values, each 0..255
     * @throws ArgumentOutOfRangeException when an argument is outside its range
     * @throws NoDeviceException when the device did not answer
     * @throws NoServerException when no adapter server answers
     */
    public int[] readRegisters(int register, int count) {
        ArgumentOutOfRangeException.check("I2cDevice.readRegisters", device, "register",
                register, 0, 255);
        ArgumentOutOfRangeException.check("I2cDevice.readRegisters", device, "byte count",
                count, 1, MAX_READ);
        write(register);
        return read(count);
    }

    /**
     * Reads one register: two adapter calls.
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
     * @param values the values, 1 to 255 of them, each 0..255
     * @throws ArgumentOutOfRangeException when an argument is outside its range
     * @throws NoDeviceException when the device did not acknowledge
     * @throws NoServerException when no adapter server answers
     */
    public void writeRegisters(int register, int... values) {
        String method = "I2cDevice.writeRegisters";
        ArgumentOutOfRangeException.check(method, device, "register", register, 0, 255);
        ArgumentOutOfRangeException.check(method, device, "value count", values.length, 1,
                MAX_WRITE - 1);
        int[] bytes = new int[values.length + 1];
        bytes[0] = register;
        System.arraycopy(values, 0, bytes, 1, values.length);
        write(bytes);
    }
}
