/** Reads two registers of the register device at 0x50 through the fifteen native methods. */
public class RawRead {
    public static void main(String[] args) {
        int[] slots = new int[255];
        slots[0] = 0x50;
        slots[1] = 2;
        I2C_DLN.read(slots);
        System.out.println("read " + slots[2] + " " + slots[3]);
    }
}
